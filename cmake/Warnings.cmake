# Project code builds with these warnings, as errors. Third-party headers come in as
# system includes through their imported targets, so they are not held to them.
# GCC 12's -Wrestrict misfires on std::string concatenation at -O3, so it stays off there.
add_library(horalux_warnings INTERFACE)
target_compile_options(horalux_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast -Wnon-virtual-dtor -Werror
    $<$<CXX_COMPILER_ID:GNU>:-Wno-restrict>)
