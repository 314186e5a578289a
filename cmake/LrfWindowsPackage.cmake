# The Windows installer (NSIS) and portable zip, built by CPack in the mingw
# build tree (`make windows`). Both hold the programs, the Qt DLLs and the
# plugins they load, the mingw runtime DLLs and the cport catalogues, laid out as
# the programs look for them: everything in one folder, plugins in their
# sub-folders, catalogues in "locale".
set(LRF_DEVELOPER "Laser rangefinder control team" CACHE STRING "Developer named in the installer")

# --- the icon and the version resource of both programs ---------------------------
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
find_program(ICOTOOL icotool REQUIRED)
set(icon_svg ${PROJECT_SOURCE_DIR}/packaging/icons/lrfcontrol.svg)
set(LRF_WINDOWS_ICON ${PROJECT_BINARY_DIR}/windows/lrfcontrol.ico)
set(icon_pngs "")
foreach(size 16 24 32 48 64 256)
    set(png ${PROJECT_BINARY_DIR}/windows/icon-${size}.png)
    add_custom_command(OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/windows
        COMMAND ${RSVG_CONVERT} --width=${size} --height=${size} --output=${png} ${icon_svg}
        DEPENDS ${icon_svg})
    list(APPEND icon_pngs ${png})
endforeach()
add_custom_command(OUTPUT ${LRF_WINDOWS_ICON}
    COMMAND ${ICOTOOL} -c -o ${LRF_WINDOWS_ICON} ${icon_pngs}
    DEPENDS ${icon_pngs}
    COMMENT "Making the Windows icon")
add_custom_target(lrf_windows_icon DEPENDS ${LRF_WINDOWS_ICON})

foreach(program lrfcontrol lrfmeasure)
    if(program STREQUAL "lrfcontrol")
        set(LRF_WINDOWS_DESCRIPTION "Laser rangefinder control")
    else()
        set(LRF_WINDOWS_DESCRIPTION "Laser rangefinder measurement from the command line")
    endif()
    set(rc ${PROJECT_BINARY_DIR}/windows/${program}.rc)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/lrfcontrol.rc.in ${rc} @ONLY)
    target_sources(${program} PRIVATE ${rc})
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${LRF_WINDOWS_ICON})
    add_dependencies(${program} lrf_windows_icon)
endforeach()

# --- what the programs load at run time ---------------------------------------------
set(qt_bin ${LRF_QT_WINDOWS}/bin)
set(qt_plugins ${LRF_QT_WINDOWS}/plugins)
install(FILES
    ${qt_bin}/Qt6Core.dll ${qt_bin}/Qt6Gui.dll ${qt_bin}/Qt6Widgets.dll ${qt_bin}/Qt6Sql.dll
    DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${qt_plugins}/platforms/qwindows.dll DESTINATION ${CMAKE_INSTALL_BINDIR}/platforms)
install(FILES ${qt_plugins}/styles/qwindowsvistastyle.dll DESTINATION ${CMAKE_INSTALL_BINDIR}/styles)
install(FILES ${qt_plugins}/sqldrivers/qsqlite.dll DESTINATION ${CMAKE_INSTALL_BINDIR}/sqldrivers)
file(GLOB image_plugins ${qt_plugins}/imageformats/*.dll)
install(FILES ${image_plugins} DESTINATION ${CMAKE_INSTALL_BINDIR}/imageformats)

# The compiler's runtime, which Qt's DLLs and the programs share.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
    OUTPUT_VARIABLE libstdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libgcc_s_seh-1.dll
    OUTPUT_VARIABLE libgcc OUTPUT_STRIP_TRAILING_WHITESPACE)
find_file(LRF_WINPTHREAD_DLL libwinpthread-1.dll
    PATHS /usr/x86_64-w64-mingw32/lib NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(LRF_WINDOWS_RUNTIME_DLLS ${libstdcxx} ${libgcc} ${LRF_WINPTHREAD_DLL}
    CACHE INTERNAL "The mingw runtime DLLs the programs load")
install(FILES ${LRF_WINDOWS_RUNTIME_DLLS} DESTINATION ${CMAKE_INSTALL_BINDIR})
# The compiler's runtime comes with its debugging symbols (libstdc++ alone is 23 MB):
# the installed DLLs are stripped, as the programs are.
install(CODE "
    file(GLOB_RECURSE dlls \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/*.dll\")
    foreach(dll IN LISTS dlls)
        execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded \"\${dll}\" COMMAND_ERROR_IS_FATAL ANY)
    endforeach()")

install(DIRECTORY ${CPORT_CATALOGUE_DIR}/ DESTINATION ${CMAKE_INSTALL_BINDIR}/locale)
# The faces the windows are laid out for (src/ui/shell/Fonts.h), loaded from
# "fonts" beside the program, with their licence (Debian's fonts-liberation).
# The test programs in the build folder find them there too.
set(liberation /usr/share/fonts/truetype/liberation)
set(faces ${liberation}/LiberationSansNarrow-Regular.ttf ${liberation}/LiberationSansNarrow-Bold.ttf
    ${liberation}/LiberationSans-Regular.ttf ${liberation}/LiberationSans-Bold.ttf)
install(FILES ${faces} DESTINATION ${CMAKE_INSTALL_BINDIR}/fonts)
file(COPY ${faces} DESTINATION ${CMAKE_BINARY_DIR}/fonts)
install(FILES /usr/share/doc/fonts-liberation/copyright
    DESTINATION ${CMAKE_INSTALL_BINDIR}/fonts RENAME LICENSE-fonts-liberation.txt)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)

# --- the installer and the zip -------------------------------------------------------
set(CPACK_PACKAGE_NAME lrfcontrol)
set(CPACK_PACKAGE_VERSION ${LRF_VERSION})
set(CPACK_PACKAGE_VENDOR ${LRF_DEVELOPER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Control program for a laser rangefinder on a serial port")
set(CPACK_PACKAGE_INSTALL_DIRECTORY lrfcontrol)
set(CPACK_PACKAGE_FILE_NAME lrfcontrol-${LRF_VERSION}-windows-x64)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR}/packages)
set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_STRIP_FILES ON)
# Start-menu entry with the program's icon, and the uninstaller's entry.
set(CPACK_PACKAGE_EXECUTABLES lrfcontrol "LRF Control")
set(CPACK_NSIS_INSTALLED_ICON_NAME "bin\\\\lrfcontrol.exe")
set(CPACK_NSIS_MUI_ICON ${LRF_WINDOWS_ICON})
set(CPACK_NSIS_MUI_UNIICON ${LRF_WINDOWS_ICON})
set(CPACK_NSIS_DISPLAY_NAME "LRF Control ${LRF_VERSION}")
set(CPACK_NSIS_PACKAGE_NAME "LRF Control")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
# A 64-bit installer for 64-bit programs (Debian's NSIS has the amd64 stubs).
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY bin)
include(CPack)
