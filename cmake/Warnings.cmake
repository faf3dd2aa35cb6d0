# One warning policy for every target of the project, on both toolchains.
add_library(tarnel_warnings INTERFACE)
target_compile_options(tarnel_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion)
