# Static Linux executables: the tool itself (loading and relocating
# libstdc++ took about 1 ms of every run, whose exchanges take 8, and 2 MiB
# of memory), and the programs the driver test's virtual machine runs, which
# has no libraries at all. The sanitizer runtimes need the dynamic form.
include(CheckLinkerFlag)
set(TARNEL_STATIC_LINK OFF)
if(NOT WIN32 AND NOT TARNEL_SANITIZE)
  check_linker_flag(CXX -static-pie TARNEL_HAS_STATIC_PIE)
  if(TARNEL_HAS_STATIC_PIE)
    set(TARNEL_STATIC_LINK ON)
  endif()
endif()

function(tarnel_link_static target)
  if(TARNEL_STATIC_LINK)
    target_link_options(${target} PRIVATE -static-pie)
  endif()
endfunction()
