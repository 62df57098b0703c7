# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Nerova developers
# The Debian package: `cmake --workflow --preset deb` configures a release build for
# /usr, builds it and packs what `cmake --install` installs into
# nerova_VERSION-REVISION_ARCH.deb. Name, version and summary come from project(), the
# maintainer and home page from the identity in the top-level CMakeLists.txt.
set(NEROVA_DEB_REVISION 1 CACHE STRING "The Debian revision of the package")
set(NEROVA_DEB_VERSION ${PROJECT_VERSION}-${NEROVA_DEB_REVISION})

set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VENDOR "The Nerova developers")
set(CPACK_PACKAGE_CONTACT "${NEROVA_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${NEROVA_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# Lines of at most 80 columns, as Debian's tools show them.
set(CPACK_PACKAGE_DESCRIPTION
  "Nerova evaluates expressions of integers, decimals, fractions, mixed numbers
and recurring decimals exactly, on fractions whose numbers may grow to any
length, and typesets them as on paper. Besides the window it has a command
line (-e, --batch, --repl, --render) and a D-Bus service through which other
programs drive it.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  # The manual page and the D-Bus activation file name the installation's folders.
  message(STATUS "Packages of this tree name ${CMAKE_INSTALL_PREFIX} paths inside; "
                 "`cmake --workflow --preset deb` builds one for /usr")
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # nerova_VERSION-REVISION_ARCH.deb
set(CPACK_DEBIAN_PACKAGE_RELEASE ${NEROVA_DEB_REVISION})
set(CPACK_DEBIAN_PACKAGE_SECTION math)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
if(NOT NEROVA_HOMEPAGE STREQUAL "")
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${NEROVA_HOMEPAGE}")
endif()
# Depends from the libraries the program and its window module really link (needs
# dpkg-shlibdeps from dpkg-dev). The module links Qt's SVG library, whose package also
# holds the plugin that draws the window icon, so nothing needs naming by hand (a second,
# unversioned libqt6svg6 would name it twice).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window's texts are Japanese.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic | fonts-noto-cjk")

# Debian's changelog, which every package carries (a version with a revision is not a
# native package), dated with the release: RFC 5322 needs the day of the week (Zeller).
if(NOT NEROVA_RELEASE_DATE MATCHES "^([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$")
  message(FATAL_ERROR "NEROVA_RELEASE_DATE '${NEROVA_RELEASE_DATE}' is not YYYY-MM-DD")
endif()
set(date_year ${CMAKE_MATCH_1})
set(date_day ${CMAKE_MATCH_3})
string(REGEX REPLACE "^0" "" month "${CMAKE_MATCH_2}")
string(REGEX REPLACE "^0" "" day "${CMAKE_MATCH_3}")
set(year ${date_year})
set(month_names Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
math(EXPR month_index "${month} - 1")
list(GET month_names ${month_index} month_name)
if(month LESS 3)
  math(EXPR month "${month} + 12")
  math(EXPR year "${year} - 1")
endif()
math(EXPR weekday "(${day} + (13 * (${month} + 1)) / 5 + ${year} + ${year} / 4 - ${year} / 100 + ${year} / 400) % 7")
set(weekday_names Sat Sun Mon Tue Wed Thu Fri)
list(GET weekday_names ${weekday} weekday_name)
set(NEROVA_CHANGELOG_DATE "${weekday_name}, ${date_day} ${month_name} ${date_year} 12:00:00 +0000")
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.Debian.in changelog.Debian @ONLY)
find_program(GZIP gzip REQUIRED)
add_custom_command(OUTPUT changelog.Debian.gz
                   COMMAND ${GZIP} -9 -n -k -f changelog.Debian
                   DEPENDS ${PROJECT_BINARY_DIR}/changelog.Debian
                   COMMENT "Compressing Debian's changelog")
add_custom_target(changelog ALL DEPENDS changelog.Debian.gz)
install(FILES ${PROJECT_BINARY_DIR}/changelog.Debian.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The package is not uploaded to Debian, so its first changelog entry closes no bug
# (lintian expects a first upload to close its "intent to package" bug).
file(READ ${CMAKE_CURRENT_LIST_DIR}/lintian-overrides lintian_overrides)
if(NEROVA_STATIC_PROGRAM)
  # A developer's build packed as it is: its static position-independent nerova has no
  # NEEDED entry, which lintian takes for a shared library without its libraries.
  string(SUBSTRING ${CPACK_PACKAGING_INSTALL_PREFIX} 1 -1 package_prefix)
  string(APPEND lintian_overrides "# A developer's build: nerova linked statically (NEROVA_STATIC_RUNTIME).\n"
         "nerova: shared-library-lacks-prerequisites [${package_prefix}/${CMAKE_INSTALL_BINDIR}/nerova]\n")
endif()
file(CONFIGURE OUTPUT lintian-overrides CONTENT "${lintian_overrides}" @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME ${PROJECT_NAME})

include(CPack)
