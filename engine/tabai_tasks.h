// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Tasks of one large product spread over two cores (engine/tabai_ntt.cpp runs them).
#pragma once

#include <functional>

namespace tabai_kernels {

/// Runs task(0) .. task(count - 1), on a helper thread as well as this one when parallel
/// is true, Tuning::nttParallel allows it and the machine has a second core; only this
/// thread runs the message pump's handler, and a cancellation stops both (the number-
/// theoretic transforms' runner, for the floating transform's tasks).
void RunKernelTasks(int count, bool parallel, const std::function<void(int)>& task);

}  // namespace tabai_kernels
