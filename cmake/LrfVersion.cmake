# The one version of the programs and the package: the project version, with the
# distance from its release tag that `git describe` reports where the sources are
# a git work tree. Sets LRF_VERSION and LRF_RELEASE_DATE (YYYY-MM-DD).
#
#   at the tag v2.0              2.0
#   5 commits after v2.0         2.0+5.gabc1234
#   no tag v2.0 (a fresh clone)  2.0+gabc1234
#   no git (a source tarball)    2.0
#
# Only a tag of the project's own version counts, so that the number in
# project() stays the one place to change. The result is a valid Debian version.

set(LRF_VERSION ${PROJECT_VERSION})
string(TIMESTAMP LRF_RELEASE_DATE "%Y-%m-%d" UTC) # honours SOURCE_DATE_EPOCH

# Only the project's own work tree counts: a source tarball unpacked inside some
# other repository must not take that one's history.
find_package(Git QUIET)
if(GIT_FOUND)
    execute_process(
        COMMAND ${GIT_EXECUTABLE} rev-parse --show-toplevel
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        OUTPUT_VARIABLE lrf_git_top
        OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    file(REAL_PATH "${PROJECT_SOURCE_DIR}" lrf_source_real)
    if(lrf_git_top)
        file(REAL_PATH "${lrf_git_top}" lrf_git_top)
    endif()
endif()
if(GIT_FOUND AND lrf_git_top STREQUAL lrf_source_real)
    execute_process(
        COMMAND ${GIT_EXECUTABLE} describe --tags --long --always --abbrev=7
                --match "v${PROJECT_VERSION}"
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        OUTPUT_VARIABLE lrf_describe
        RESULT_VARIABLE lrf_describe_failed
        OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(NOT lrf_describe_failed)
        if(lrf_describe MATCHES "^v[0-9.]+-([0-9]+)-g([0-9a-f]+)$")
            if(NOT CMAKE_MATCH_1 EQUAL 0)
                set(LRF_VERSION "${PROJECT_VERSION}+${CMAKE_MATCH_1}.g${CMAKE_MATCH_2}")
            endif()
        elseif(lrf_describe MATCHES "^[0-9a-f]+$")
            set(LRF_VERSION "${PROJECT_VERSION}+g${lrf_describe}")
        endif()
        execute_process(
            COMMAND ${GIT_EXECUTABLE} log -1 --format=%cs
            WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
            OUTPUT_VARIABLE lrf_commit_date
            OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        if(lrf_commit_date MATCHES "^[0-9]+-[0-9]+-[0-9]+$")
            set(LRF_RELEASE_DATE ${lrf_commit_date})
        endif()

        # Configure again when a commit or a checkout moves HEAD, so that the
        # version does not go stale in a build tree that is kept.
        execute_process(
            COMMAND ${GIT_EXECUTABLE} rev-parse --absolute-git-dir --git-common-dir
                    --symbolic-full-name HEAD
            WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
            OUTPUT_VARIABLE lrf_git_paths
            OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        string(REPLACE "\n" ";" lrf_git_paths "${lrf_git_paths}")
        list(LENGTH lrf_git_paths lrf_git_path_count)
        if(lrf_git_path_count EQUAL 3)
            list(GET lrf_git_paths 0 lrf_git_dir)
            list(GET lrf_git_paths 1 lrf_git_common)
            list(GET lrf_git_paths 2 lrf_git_ref)
            get_filename_component(lrf_git_common ${lrf_git_common} ABSOLUTE
                                   BASE_DIR ${PROJECT_SOURCE_DIR})
            foreach(watched ${lrf_git_dir}/HEAD ${lrf_git_common}/${lrf_git_ref}
                            ${lrf_git_common}/packed-refs)
                if(EXISTS ${watched} AND NOT IS_DIRECTORY ${watched})
                    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND
                                 PROPERTY CMAKE_CONFIGURE_DEPENDS ${watched})
                endif()
            endforeach()
        endif()
    endif()
endif()
message(STATUS "Version ${LRF_VERSION} of ${LRF_RELEASE_DATE}")

# LrfVersion.h for the programs' --version.
configure_file(${CMAKE_CURRENT_LIST_DIR}/LrfVersion.h.in
               ${PROJECT_BINARY_DIR}/generated/LrfVersion.h @ONLY)
add_library(lrf_version INTERFACE)
target_include_directories(lrf_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
