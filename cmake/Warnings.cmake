# Project code builds with these warnings. They are errors only where we control the
# toolchain (the test build, CI, developers' builds: -DHORALUX_WARNINGS_AS_ERRORS=ON), so a
# user's newer or older compiler never fails a build over a warning. Third-party headers
# come in as system includes through their imported targets, so they are not held to them.
# GCC 12's -Wrestrict misfires on std::string concatenation at -O3, so it stays off there.
option(HORALUX_WARNINGS_AS_ERRORS "Treat warnings in project code as errors" OFF)

add_library(horalux_warnings INTERFACE)
target_compile_options(horalux_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast -Wnon-virtual-dtor
    $<$<BOOL:${HORALUX_WARNINGS_AS_ERRORS}>:-Werror>
    $<$<CXX_COMPILER_ID:GNU>:-Wno-restrict>)
