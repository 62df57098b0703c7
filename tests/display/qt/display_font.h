// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Tests of the display font's own pixel metrics need that font; where it is not
// installed they are skipped with a message instead of failing on another font's sizes.
#pragma once

#include <gtest/gtest.h>

#include <QFontInfo>

#include "display/qt/BunDisp.h"

namespace nerova::test {

inline bool displayFontInstalled() {
    const QFont font = TBunDisp::defaultFont();
    return QFontInfo(font).family() == font.family();
}

}  // namespace nerova::test

#define SKIP_WITHOUT_DISPLAY_FONT()                                                                \
    do {                                                                                           \
        if (!nerova::test::displayFontInstalled())                                                 \
            GTEST_SKIP() << "the display font " << TBunDisp::defaultFont().family().toStdString() \
                         << " is missing (fonts-ipafont-gothic): its pixel metrics are not checked"; \
    } while (0)
