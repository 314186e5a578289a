# One interface target that carries the project's warning flags; every target of
# ours links it.
add_library(lrf_warnings INTERFACE)
if(MSVC)
    target_compile_options(lrf_warnings INTERFACE /W4)
else()
    target_compile_options(lrf_warnings INTERFACE -Wall -Wextra)
    if(LRF_WERROR)
        target_compile_options(lrf_warnings INTERFACE -Werror)
    endif()
endif()
