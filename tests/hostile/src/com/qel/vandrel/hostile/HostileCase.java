package com.qel.vandrel.hostile;

/**
 * One hostile use of the library: what it does, in which state of the process it starts, and the
 * outcome a Java developer would expect of it.
 *
 * @param name {@code Group.Case}, the ctest test is {@code hostile.<name>}
 * @param start whether the child JVM initialised COM (and registered the sample server) first
 * @param expected the expected outcome
 * @param body the use itself; what it returns or throws is the case's outcome
 * @param timeoutSeconds how long the child may take, 0 for the suite's timeout
 */
record HostileCase(String name, Start start, Expected expected, Body body, int timeoutSeconds) {
  /** The state of the child JVM when the case starts. */
  enum Start {
    /** ComService.initialize() on the case's thread and the sample server registered. */
    INITIALISED,
    /** Nothing of the library has run yet: no ComService.initialize() in the whole process. */
    UNINITIALISED
  }

  /** The body of a case. */
  @FunctionalInterface
  interface Body {
    /**
     * Runs the case.
     *
     * @param context objects of the sample server for the case, closed by the harness afterwards
     * @return the result, reported as "returned"
     * @throws Throwable reported as "threw"
     */
    Object run(CaseContext context) throws Throwable;
  }

  static HostileCase initialised(String name, Expected expected, Body body) {
    return new HostileCase(name, Start.INITIALISED, expected, body, 0);
  }

  static HostileCase uninitialised(String name, Expected expected, Body body) {
    return new HostileCase(name, Start.UNINITIALISED, expected, body, 0);
  }

  /** The same case with a timeout of its own. */
  HostileCase withTimeout(int seconds) {
    return new HostileCase(name, start, expected, body, seconds);
  }
}
