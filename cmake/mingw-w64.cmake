# Cross-build for 64-bit Windows with Debian's mingw-w64 compilers. The posix thread
# flavour is used because it carries std::thread and std::mutex. Without Qt, programs
# are linked statically so that they run under Wine (or on Windows) without any DLL
# beside them; with Qt for Windows (LRF_QT_WINDOWS, built by scripts/build-qt-windows.sh)
# they share the C++ runtime DLLs with Qt's own, which the package ships beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LRF_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${LRF_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LRF_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${LRF_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${LRF_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

if(LRF_QT_WINDOWS)
    # Qt's packages are found under its folder, its host tools (moc, uic, rcc) are
    # the build machine's of the same version (QT_HOST_PATH).
    list(APPEND CMAKE_FIND_ROOT_PATH ${LRF_QT_WINDOWS})
else()
    set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
endif()
# The base Windows API only: the full header set defines macros (SetPort, min, max)
# that clash with ordinary C++ names.
set(CMAKE_C_FLAGS_INIT "-DWIN32_LEAN_AND_MEAN -DNOMINMAX")
set(CMAKE_CXX_FLAGS_INIT "-DWIN32_LEAN_AND_MEAN -DNOMINMAX")

# Test programs are run (and their test cases listed) through Wine. The launcher
# keeps a private Wine prefix in the build directory, and finds Qt's DLLs and
# plugins in LRF_QT_WINDOWS.
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_COMMAND} -E env LRF_WINE_BUILD_DIR=${CMAKE_BINARY_DIR} LRF_QT_WINDOWS=${LRF_QT_WINDOWS}
    ${CMAKE_CURRENT_LIST_DIR}/../tests/wine/wine-run.sh)
