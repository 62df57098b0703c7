// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The fraction display for assistive technology: an accessible object named 数式 whose
// description and text are the spoken reading of what it shows.
#pragma once

#include <QtGlobal>

class TBunDisp;

namespace nerova {

/// The accessible name of the fraction display (translated where used, in the context
/// "TBunDisp").
inline constexpr const char* kDisplayAccessibleName = QT_TRANSLATE_NOOP("TBunDisp", "数式");

/// Makes every TBunDisp an accessible object: role static text, name 数式, and the
/// Japanese reading of its current text (speechOf) as description and as the text of its
/// text interface. Needs the QApplication; calling it again does nothing.
void installDisplayAccessibility();

/// Tells assistive technology that disp's reading changed (after a calculation), so that
/// a screen reader reads the new result.
void announceDisplay(TBunDisp* disp);

}  // namespace nerova
