# The JDK provides jni.h for every build; on Windows cross builds our own
# platform/win32/jni_md.h replaces the JDK's host jni_md.h.
if(NOT DEFINED JAVA_HOME)
  if(DEFINED ENV{JAVA_HOME})
    set(JAVA_HOME "$ENV{JAVA_HOME}")
  else()
    find_program(_ostrel_javac javac REQUIRED)
    get_filename_component(_ostrel_javac "${_ostrel_javac}" REALPATH)
    get_filename_component(JAVA_HOME "${_ostrel_javac}/../.." ABSOLUTE)
  endif()
endif()
set(JAVA_HOME "${JAVA_HOME}" CACHE PATH "JDK used for jni.h, javac and the test JVM")
set(OSTREL_JNI_INCLUDE "${JAVA_HOME}/include")
if(NOT EXISTS "${OSTREL_JNI_INCLUDE}/jni.h")
  message(FATAL_ERROR "jni.h not found under ${JAVA_HOME}/include; set JAVA_HOME")
endif()
set(OSTREL_JAVAC "${JAVA_HOME}/bin/javac")
set(OSTREL_JAR "${JAVA_HOME}/bin/jar")
set(OSTREL_JAVADOC "${JAVA_HOME}/bin/javadoc")
set(OSTREL_JAVA "${JAVA_HOME}/bin/java")

# What -Xcheck:jni prints about a JNI misuse: a call made with an exception pending or without
# checking for one, a call inside a critical region, the local-reference capacity exceeded, a
# fatal misuse. Any of it fails the test that printed it (ctest FAIL_REGULAR_EXPRESSION). The VM's
# "Warning: SIGSEGV handler modified!" notice about the access-violation guard is not among them.
set(OSTREL_JNI_WARNING_REGEX
    "WARNING in native method|WARNING: JNI local refs|FATAL ERROR in native method|Calling other JNI functions in the scope of")
