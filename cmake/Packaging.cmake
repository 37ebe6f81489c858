# `cpack` in a build tree makes a Debian package of what `cmake --install` puts in place.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME horalux)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Horalux")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "local time, sunrise and sunset in every city and town of a country")
set(CPACK_PACKAGE_DESCRIPTION "Horalux lists the current local time, sunrise and sunset \
of every city and town of a country, in a window or in a terminal (horalux-cli). It asks \
zonariumd, the time service that comes with it, over plain HTTP.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Horalux developers <horalux@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window needs the X11 platform plug-in and the fixed-width fonts its columns are set in.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "tzdata, fonts-liberation2, qt6-qpa-plugins")
include(CPack)
