# Cross build for 64-bit Windows (x86_64), of the same sources: only to run
# the Windows tests under 64-bit Wine on machines that execute no 32-bit
# programs. It is not shipped.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TARNEL_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
