# The AddressSanitizer/UndefinedBehaviorSanitizer build (OSTREL_SANITIZE).
#
# Leaves behind OSTREL_SANITIZED_JAVA_ENV: the environment a plain java process needs to load the
# sanitized library (for the ctest ENVIRONMENT property). The sanitizer runtimes have to be in the
# process before anything else (LD_PRELOAD of the compiler's libasan and libubsan); SIGSEGV and
# SIGBUS belong to the JVM, which uses them for its own purposes; the JVM's allocations outlive the
# process and are not ours to account for.
if(NOT OSTREL_SANITIZE)
  return()
endif()

add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
add_link_options(-fsanitize=address,undefined)

set(_preload "")
foreach(_runtime libasan.so libubsan.so)
  execute_process(COMMAND "${CMAKE_CXX_COMPILER}" -print-file-name=${_runtime}
    OUTPUT_VARIABLE _path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${_path}" OR NOT EXISTS "${_path}")
    message(FATAL_ERROR "${CMAKE_CXX_COMPILER} has no ${_runtime} to preload into a java process")
  endif()
  list(APPEND _preload "${_path}")
endforeach()
list(JOIN _preload ":" _preload)
set(OSTREL_SANITIZED_JAVA_ENV
  "LD_PRELOAD=${_preload}"
  "ASAN_OPTIONS=handle_segv=0:handle_sigbus=0:detect_leaks=0:allow_user_segv_handler=1")
