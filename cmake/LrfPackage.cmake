# The Debian package, built by CPack: `cpack -G DEB` in the build tree, or
# `make deb`. Version from LrfVersion.cmake, dependencies computed by
# dpkg-shlibdeps, the dialout note in the description and after a first install.
set(CPACK_PACKAGE_NAME lrfcontrol)
set(CPACK_PACKAGE_VERSION ${LRF_VERSION})
set(CPACK_PACKAGE_VENDOR ${LRF_DEVELOPER})
set(CPACK_PACKAGE_CONTACT ${LRF_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control program for a laser rangefinder on a serial port")
# Lines as Debian shows them: under 80 columns, an empty line between paragraphs.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "A desktop program for a handheld laser rangefinder connected to a serial\n"
    "port: single distance and speed shots, continuous runs and a rotation run,\n"
    "two seven-segment readouts in the chosen units, and a log of the\n"
    "measurements saved as comma-separated text. A simulated rangefinder\n"
    "(lrfsim, and lrfcontrol --simulate) lets it be tried without an instrument.\n"
    "Every record is also kept in a crash journal and recovered into a file at\n"
    "the next start if the program ended without saving it.\n"
    "\n"
    "Serial devices belong to the group dialout: add your user to it\n"
    "(sudo adduser <user> dialout) and log in again to open them.")
if(LRF_HOMEPAGE)
    set(CPACK_PACKAGE_HOMEPAGE_URL ${LRF_HOMEPAGE})
endif()
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so no library dependency names them: the crash journal's
# SQLite driver of Qt, and the narrow face the windows are laid out for
# (src/ui/shell/Fonts.h). adduser: the note after the first install tells the
# installer to use it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, fonts-liberation, adduser")
# The PostgreSQL driver, for the record store (--store) only.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS libqt6sql6-psql)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
