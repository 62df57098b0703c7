// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "engine/Stream.h"

char TInputStream::ReadChar() { return 'x'; }

char TInputStream::PeekChar() {
    char c = ReadChar();
    StepBack();
    return c;
}

bool TInputStream::AtEnd() { return true; }

void TInputStream::StepBack() {}

void StringStream::Throw(nerova::Message m) { throw TStreamException(m); }
