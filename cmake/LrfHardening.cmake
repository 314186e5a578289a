# The distribution's hardening flags in the optimised builds, so that the
# programs of the package carry them: what dpkg-buildflags gives with
# hardening=+all (stack protector, fortified functions, format checks,
# read-only relocations bound at start; Debian's compiler makes PIE by default),
# without its choice of optimisation, debug information and path maps, which
# the build type and the presets make. Nothing happens where dpkg-buildflags
# is missing (dpkg-dev), in the sanitizer, fuzz and debug builds, or cross-built.
option(LRF_HARDENING "Build with the distribution's hardening flags" ON)

if(LRF_HARDENING AND NOT WIN32 AND NOT CMAKE_CROSSCOMPILING AND NOT LRF_BUILD_FUZZ
   AND NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize"
   AND CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
    find_program(LRF_DPKG_BUILDFLAGS dpkg-buildflags)
    if(LRF_DPKG_BUILDFLAGS)
        set(lrf_hardening_compile "")
        set(lrf_hardening_link "")
        foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
            execute_process(
                COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                        ${LRF_DPKG_BUILDFLAGS} --get ${kind}
                OUTPUT_VARIABLE flags
                OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
            separate_arguments(flags UNIX_COMMAND "${flags}")
            foreach(flag ${flags})
                if(flag MATCHES "^-(fstack-protector|fstack-clash-protection|fcf-protection|D_FORTIFY_SOURCE|Wformat|Werror=format-security)")
                    list(APPEND lrf_hardening_compile ${flag})
                elseif(flag MATCHES "^-Wl,-z,(relro|now)$")
                    list(APPEND lrf_hardening_link ${flag})
                endif()
            endforeach()
        endforeach()
        list(REMOVE_DUPLICATES lrf_hardening_compile)
        # A compiler that fortifies by itself must not see a second definition.
        if(lrf_hardening_compile MATCHES "-D_FORTIFY_SOURCE")
            list(PREPEND lrf_hardening_compile -U_FORTIFY_SOURCE)
        endif()
        add_compile_options(${lrf_hardening_compile})
        add_link_options(${lrf_hardening_link})
        message(STATUS "Hardening: ${lrf_hardening_compile} ${lrf_hardening_link}")
    endif()
endif()
