// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The engine's one hook towards a user interface: long loops call ProcessMessages(),
// which runs the handler that a user interface installed, and does nothing otherwise.
#pragma once

namespace pump {

/// A handler processes pending user-interface events. It may throw (for instance to
/// cancel the calculation); every engine operation stays exception-safe when it does.
using Handler = void (*)(void* context);

namespace detail {
// constinit: no dynamic initialisation, so no thread-local init check at each use
// (that check also trips a false null-pointer report of the undefined-behaviour sanitizer).
extern constinit thread_local Handler gHandler;
extern constinit thread_local void* gContext;
}  // namespace detail

/// A handler together with its context; calling it runs the handler, if there is one.
struct Installed {
    Handler handler = nullptr;
    void* context = nullptr;
    void operator()() const {
        if (handler) handler(context);
    }
};

/// The handler installed now on this thread (nothing when none is).
inline Installed Current() { return {detail::gHandler, detail::gContext}; }

/// Runs the installed handler, if any. Cheap when none is installed.
inline void ProcessMessages() {
    if (detail::gHandler) detail::gHandler(detail::gContext);
}

/// Installs a handler for its lifetime and restores the previous one afterwards. A
/// handler that adds to the one it replaced chains to it through Previous().
class Scope {
public:
    Scope(Handler handler, void* context)
        : prevHandler_(detail::gHandler), prevContext_(detail::gContext) {
        detail::gHandler = handler;
        detail::gContext = context;
    }
    ~Scope() {
        detail::gHandler = prevHandler_;
        detail::gContext = prevContext_;
    }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

    /// The handler that this scope replaced and restores at its end.
    Installed Previous() const { return {prevHandler_, prevContext_}; }

private:
    Handler prevHandler_;
    void* prevContext_;
};

}  // namespace pump
