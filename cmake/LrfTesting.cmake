include(GoogleTest)

# lrf_add_gtest(<target> SOURCES <files...> LIBS <libs...> [GUI] [FAKE_UDEV]
#               [PROPERTIES <ctest properties...>])
# Builds one GoogleTest program from its own test sources and the libraries it
# exercises, and registers each test case with ctest. GUI suites run on the
# offscreen platform so that no display is needed. FAKE_UDEV suites link umockdev,
# which shows libudev a device tree of their own; their main() restarts the
# program under umockdev's preload library (FakeUdevPreload.h). PROPERTIES are
# added to each test case's (LABELS, RESOURCE_LOCK, a longer TIMEOUT).
function(lrf_add_gtest target)
    cmake_parse_arguments(ARG "GUI;FAKE_UDEV" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
    add_executable(${target})
    target_sources(${target} PRIVATE ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock lrf_warnings)
    if(NOT ARG_SOURCES MATCHES "main\\.cpp")
        target_link_libraries(${target} PRIVATE GTest::gtest_main)
    endif()
    set(env "QT_QPA_PLATFORM=offscreen" "LC_ALL=C.UTF-8")
    if(ARG_FAKE_UDEV)
        target_link_libraries(${target} PRIVATE PkgConfig::UMOCKDEV)
    endif()
    gtest_discover_tests(${target}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        TEST_LIST ${target}_TESTS
        PROPERTIES TIMEOUT 120 ${ARG_PROPERTIES}
    )
    # The discovery passes PROPERTIES on through several argument lists, which
    # split a list value into words: ENVIRONMENT would keep only its first
    # variable. So ctest sets it from a file of its own, read after the
    # discovered tests, with every VAR=VALUE one element of the list.
    set(env_file ${CMAKE_CURRENT_BINARY_DIR}/${target}_environment.cmake)
    file(WRITE ${env_file}
        "if(${target}_TESTS)\n"
        "    set_tests_properties(\${${target}_TESTS} PROPERTIES ENVIRONMENT [==[${env}]==])\n"
        "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${env_file})
endfunction()
