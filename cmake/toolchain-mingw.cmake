# What the mingw-w64 cross builds share; the including toolchain file sets
# TARNEL_MINGW_TRIPLE and CMAKE_SYSTEM_PROCESSOR.
set(CMAKE_SYSTEM_NAME Windows)

# Prefer the win32 thread model: the program starts no threads, and this
# variant links no winpthread runtime into it.
foreach(lang C CXX)
  if(lang STREQUAL "C")
    set(tool gcc)
  else()
    set(tool g++)
  endif()
  find_program(TARNEL_MINGW_${lang}
    NAMES ${TARNEL_MINGW_TRIPLE}-${tool}-win32 ${TARNEL_MINGW_TRIPLE}-${tool}
    REQUIRED)
  set(CMAKE_${lang}_COMPILER ${TARNEL_MINGW_${lang}})
endforeach()
find_program(CMAKE_RC_COMPILER NAMES ${TARNEL_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TARNEL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
