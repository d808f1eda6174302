# What `cpack` makes from an install: on Linux a Debian package, on Windows an installer (NSIS)
# and a portable zip.

set(CPACK_PACKAGE_NAME railgrace)
set(CPACK_PACKAGE_VENDOR "Railgrace developers")
set(CPACK_PACKAGE_CONTACT "Railgrace developers <dev@railgrace.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "smooth the path of Skyvault roller-coaster tracks")
set(CPACK_PACKAGE_DESCRIPTION
    "Railgrace loads a Skyvault track (.svtrack, format 1.3), smooths its path
so that it bends evenly from vertex to vertex, and saves the whole track
under a new name. Everything that smoothing does not touch comes back byte
for byte.
.
The package holds the window (railgrace) and the command-line tool
(railgrace-cli), which also inspects tracks and measures their smoothness.")
set(CPACK_STRIP_FILES ON)
# The installer's commands below hold backslashes and quotes that must reach NSIS as written.
set(CPACK_VERBATIM_VARIABLES ON)

if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    set(CPACK_GENERATOR DEB)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    # libqt6gui6 only recommends the platform plugins, without which the window cannot open.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
    # No maintainer scripts: the desktop, MIME and icon databases are refreshed by the file
    # triggers of desktop-file-utils, shared-mime-info and hicolor-icon-theme.
elseif(WIN32)
    include("${CMAKE_CURRENT_LIST_DIR}/PackagingWindows.cmake")
endif()

include(CPack)
