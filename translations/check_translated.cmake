# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Nerova developers
# cmake -DTS=nerova_LANG.ts -P check_translated.cmake: fails when a text of the file has
# no translation yet (lupdate marks a new source text "unfinished"), so that a text added
# to the program without its translation is noticed before it ships in the source language.
file(READ "${TS}" ts)
string(REGEX MATCHALL "<source>[^<]*</source>[ \t\r\n]*<translation type=\"unfinished\"" missing "${ts}")
list(LENGTH missing count)
if(count GREATER 0)
  string(REPLACE ";" "\n" missing "${missing}")
  message(FATAL_ERROR "${TS}: ${count} texts without a translation:\n${missing}")
endif()
