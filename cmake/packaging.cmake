# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Nerova developers
# The Debian package: `cd build && cpack -G DEB` packs what `cmake --install` installs.
# Name, version, description and homepage come from project().
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VENDOR "The Nerova developers")
set(CPACK_PACKAGE_CONTACT "The Nerova developers <maintainers@nerova.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
  "Nerova evaluates expressions of integers, decimals, fractions, mixed numbers and
recurring decimals exactly, on fractions whose numbers may grow to any length, and
typesets them as on paper. Besides the window it has a command line (-e, --batch,
--repl, --render) and a D-Bus service through which other programs drive it.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION math)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends from the libraries the program and its window module really link (needs
# dpkg-shlibdeps from dpkg-dev); the window icon is drawn by Qt's SVG plugins, which
# nothing links, so they are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
# The window's texts are Japanese.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic | fonts-noto-cjk")

include(CPack)
