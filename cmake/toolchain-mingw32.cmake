# Cross build for 32-bit Windows with Debian's mingw-w64 (i686): the program
# the project ships.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TARNEL_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
