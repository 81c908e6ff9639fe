# Configures, builds and runs the demo preset the way a machine with only the demo's packages
# would (see CMakeLists.txt). Arguments (-D):
#   SOURCE_DIR    the source tree
#   WORK_DIR      scratch directory, emptied first: bin/ (the PATH) and build/
#   TOOLS         programs the demo may use, looked up on this machine's PATH (the JDK's also in
#                 JAVA_BIN) and linked into WORK_DIR/bin
#   JAVA_BIN      the JDK's bin directory
#   HIDDEN_PATHS  directories find_file/find_package must not look into (JUnit's jar)
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${WORK_DIR}")
set(bin "${WORK_DIR}/bin")
file(MAKE_DIRECTORY "${bin}")
foreach(tool IN LISTS TOOLS)
  find_program(found NAMES ${tool} HINTS "${JAVA_BIN}" NO_CACHE)
  if(NOT found)
    message(FATAL_ERROR "${tool} is not installed; scripts/setup.sh demo installs it")
  endif()
  file(CREATE_LINK "${found}" "${bin}/${tool}" SYMBOLIC)
  unset(found)
endforeach()

# The tools of this machine's environment are gone: only the linked ones are on the PATH and
# nothing points CMake at a JDK, a compiler or a prefix.
set(fresh ${CMAKE_COMMAND} -E env --unset=JAVA_HOME --unset=CC --unset=CXX --unset=CFLAGS
  --unset=CXXFLAGS --unset=LDFLAGS --unset=CMAKE_PREFIX_PATH --unset=CMAKE_GENERATOR
  --unset=CMAKE_TOOLCHAIN_FILE --unset=CMAKE_C_COMPILER_LAUNCHER
  --unset=CMAKE_CXX_COMPILER_LAUNCHER --unset=LD_PRELOAD "PATH=${bin}")
set(build "${WORK_DIR}/build")

function(step what)
  message(STATUS "${what}: ${ARGN}")
  execute_process(COMMAND ${fresh} ${ARGN} WORKING_DIRECTORY "${SOURCE_DIR}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}) on a machine with only the demo's tools")
  endif()
endfunction()

# The three commands of scripts/demo.sh, in a scratch build directory.
step("configuring the demo preset" "${bin}/cmake" --preset demo -B "${build}"
  -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON "-DCMAKE_IGNORE_PATH=${HIDDEN_PATHS}")
step("building it" "${bin}/cmake" --build "${build}" --parallel 2)
step("running the demo" "${bin}/cmake" --build "${build}" --target run_demo)
