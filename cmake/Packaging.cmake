# `cpack` in a build tree makes two Debian packages of what `cmake --install` puts in place,
# one per install component: `horalux` (the window, horalux-cli and their desktop data) and
# `zonariumd` (the time service, its places file, units and proxy site).
#
# The maintainer and the web address are the distributor's to give, at configure time:
#   cmake -DHORALUX_MAINTAINER="Ann Example <ann@example.org>" \
#         -DHORALUX_HOMEPAGE=https://horalux.example.org ...
# The defaults are placeholders under the reserved .invalid domain, so a package made with
# them says plainly that nobody has put a real address in.
set(HORALUX_MAINTAINER "Horalux developers <maintainers@horalux.invalid>"
    CACHE STRING "Maintainer field of the Debian packages: NAME <ADDRESS>")
# HORALUX_HOMEPAGE is declared in deploy/CMakeLists.txt, where the AppStream data uses it.

# The Debian version is the top entry of deploy/changelog, so the package and its
# changelog cannot disagree; its upstream part must be the project's version.
file(STRINGS "${PROJECT_SOURCE_DIR}/deploy/changelog" changelog_top LIMIT_COUNT 1)
if(NOT changelog_top MATCHES "^horalux \\(([^)-]+)-([^)]+)\\) ")
    message(FATAL_ERROR "deploy/changelog: cannot read the version of its top entry")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "deploy/changelog is at ${CMAKE_MATCH_1}, the project at "
                        "${PROJECT_VERSION}: add a changelog entry")
endif()
set(CPACK_DEBIAN_PACKAGE_RELEASE "${CMAKE_MATCH_2}")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME horalux)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Horalux developers")
set(CPACK_PACKAGE_CONTACT "${HORALUX_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${HORALUX_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SOURCE horalux)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(HORALUX_HOMEPAGE)
    set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${HORALUX_HOMEPAGE}")
endif()

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING IGNORE)
set(CPACK_COMPONENTS_ALL horalux zonariumd)

# Descriptions: a synopsis, then lines of at most 80 characters (Debian policy 5.6.13).
set(CPACK_DEBIAN_HORALUX_PACKAGE_NAME horalux)
set(CPACK_DEBIAN_HORALUX_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_HORALUX_DESCRIPTION
    "local time, sunrise and sunset in every town of a country
Horalux lists the current local time, sunrise and sunset of every city and town
of a country, in a window (horalux) or in a terminal (horalux-cli). It asks the
time service zonariumd over plain HTTP, by default the one on this machine.")
# The window needs the X11 platform plug-in and the fixed-width fonts its columns are set in.
set(CPACK_DEBIAN_HORALUX_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation2")
set(CPACK_DEBIAN_HORALUX_PACKAGE_RECOMMENDS zonariumd)

set(CPACK_DEBIAN_ZONARIUMD_PACKAGE_NAME zonariumd)
set(CPACK_DEBIAN_ZONARIUMD_PACKAGE_SECTION net)
set(CPACK_DEBIAN_ZONARIUMD_DESCRIPTION
    "time-information service of Horalux
zonariumd answers HTTP requests for a country's page: every city and town
of it with its local time, UTC offset, sunrise and sunset, from the places of
GeoNames and the system's time zone database. It comes with systemd units (one
service, or one instance per port) and an example nginx site balancing several
of them.")
set(CPACK_DEBIAN_ZONARIUMD_PACKAGE_DEPENDS tzdata)
# Control files of the service's package besides those CPack writes: the dpkg trigger on
# /usr/share/zoneinfo and the postinst that answers it by reloading a running service.
# (The socket units go with the other units, in deploy/CMakeLists.txt.)
set(zonariumd_control_extra
    "${PROJECT_SOURCE_DIR}/deploy/debian/triggers" "${PROJECT_SOURCE_DIR}/deploy/debian/postinst")
set(CPACK_DEBIAN_ZONARIUMD_PACKAGE_CONTROL_EXTRA "${zonariumd_control_extra}")
set(CPACK_DEBIAN_ZONARIUMD_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Stripped programs in the packages. With debug information in the build (Debug,
# RelWithDebInfo, or -g in the flags) CPack moves it into horalux-dbgsym and
# zonariumd-dbgsym and strips the programs itself; otherwise the install strips them.
string(TOUPPER "${CMAKE_BUILD_TYPE}" build_type)
if(build_type MATCHES "^(DEBUG|RELWITHDEBINFO)$"
   OR " ${CMAKE_CXX_FLAGS} ${CMAKE_CXX_FLAGS_${build_type}} " MATCHES " -g[0-9]? ")
    set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
    set(CPACK_STRIP_FILES OFF)
    set(CPACK_POST_BUILD_SCRIPTS "${CMAKE_CURRENT_LIST_DIR}/DebugPackages.cmake")
else()
    set(CPACK_DEBIAN_DEBUGINFO_PACKAGE OFF)
    set(CPACK_STRIP_FILES ON)
endif()
include(CPack)
