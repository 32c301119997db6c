# The Debian package: `cpack -G DEB` in the build folder (or `cmake --build build --target package`).
# Its dependencies come from the shared libraries the programs link (dpkg-shlibdeps, from
# dpkg-dev), plus what is used without linking.
set(QUILLON_PACKAGE_MAINTAINER "Quillon Touch developers <quillon-touch@korvel.example>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon-touch)
set(CPACK_PACKAGE_VENDOR Korvel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${QUILLON_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "voice-notes and call recorder with a touch interface")
# The summary is the first line; cpack indents these lines below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Quillon Touch records voice notes from the microphone into MP3 files, records\n"
    "telephone calls automatically on Linux phones (ModemManager or oFono), plays\n"
    "recordings back, and lets the user search, rename, delete, move and e-mail\n"
    "them, through a full-screen skinned touch interface.")
string(REPLACE ";" "" CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# "Tahoma" resolves to DejaVu Sans through fontconfig; the programs load it, they do not link it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
# xdg-open and xdg-email for the shell hand-offs, a session bus for notifications and the bridge.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, dbus-user-session")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "modemmanager | ofono, callaudiod")
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/build[^/]*/;/\\\\.git/")
include(CPack)
