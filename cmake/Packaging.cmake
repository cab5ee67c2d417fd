# `make package`: build/runeboard_<version>_<arch>.deb from the install rules
# (resources/desktop), installed under /usr. Its dependencies are read from the
# binary by dpkg-shlibdeps; the menu, icon and manual caches are refreshed by
# Debian's own triggers, so the package needs no maintainer scripts.
set(RUNEBOARD_PACKAGE_MAINTAINER "Runeboard maintainers <maintainers@runeboard.org>"
    CACHE STRING "Maintainer named in the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME runeboard)
set(CPACK_PACKAGE_VENDOR "The Runeboard contributors")
set(CPACK_PACKAGE_CONTACT "${RUNEBOARD_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_HOMEPAGE_URL "${RUNEBOARD_WEBSITE_URL}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "floating keyboard of special symbols")
# Lines of the control file's long description, each under 80 characters.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Runeboard keeps a small floating keyboard of special symbols on the screen:"
  "letters with diacritics, IPA signs, mathematical, typographic and currency"
  "symbols. Clicking a key types its symbol into the program that has the"
  "keyboard focus, whatever keyboard layout is active. It lives in the system"
  "tray and has global hotkeys to show the keyboard and switch between sets.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
