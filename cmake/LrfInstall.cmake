# lrf_install_program(<target> [MAN <page.1.in>])
#
# Installs a program into BINDIR with its manual page: by default
# packaging/man/<target>.1.in, where @LRF_VERSION@ and @LRF_RELEASE_DATE@ are
# filled in, compressed into MANDIR/man1/<target>.1.gz as Debian wants it. Every
# program installed this way is listed in the package's metadata and checked by
# scripts/check-package.sh, so a new program needs this one line and its page.
function(lrf_install_program target)
    cmake_parse_arguments(ARG "" "MAN" "" ${ARGN})
    if(NOT ARG_MAN)
        set(ARG_MAN ${PROJECT_SOURCE_DIR}/packaging/man/${target}.1.in)
    endif()
    install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    set_property(GLOBAL APPEND PROPERTY LRF_INSTALLED_PROGRAMS ${target})
    if(WIN32)
        return()
    endif()

    set(page ${PROJECT_BINARY_DIR}/man/${target}.1)
    configure_file(${ARG_MAN} ${page} @ONLY)
    add_custom_command(OUTPUT ${page}.gz
        COMMAND gzip -9nkf ${page}
        DEPENDS ${page}
        COMMENT "Compressing the manual page ${target}.1")
    add_custom_target(${target}_manpage ALL DEPENDS ${page}.gz)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
