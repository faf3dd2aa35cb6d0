# AddressSanitizer and UndefinedBehaviorSanitizer on every target of the
# build: the program, the tools and the tests, so that a test which spawns the
# program runs the sanitized program too. Any finding ends the process.
option(TARNEL_SANITIZE "Build everything with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

if(TARNEL_SANITIZE)
  if(WIN32 OR NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    message(FATAL_ERROR "TARNEL_SANITIZE needs GCC or Clang on a POSIX system")
  endif()
  # GCC leaves float-to-integer overflow out of -fsanitize=undefined.
  set(TARNEL_SANITIZE_FLAGS
    -fsanitize=address,undefined,float-cast-overflow
    -fno-sanitize-recover=all
    -fno-omit-frame-pointer)
  add_compile_options(${TARNEL_SANITIZE_FLAGS})
  add_link_options(${TARNEL_SANITIZE_FLAGS})
  # The instrumentation makes GCC's flow analysis report uninitialized values
  # that are not (inside <regex>, for one); the plain builds keep the warning.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_compile_options(-Wno-maybe-uninitialized)
  endif()
  # Bounds checks of the standard containers, which the sanitizers do not see
  # inside their own storage.
  add_compile_definitions(_GLIBCXX_ASSERTIONS)
endif()
