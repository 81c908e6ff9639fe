package com.qel.vandrel.hostile;

import java.util.Arrays;
import java.util.Objects;

/** Checks inside case bodies; a failed check throws AssertionError, a mismatch of the case. */
final class Checks {
  private Checks() {}

  static void isTrue(boolean condition, String what) {
    if (!condition) {
      throw new AssertionError(what);
    }
  }

  static void equal(Object expected, Object actual, String what) {
    boolean same = expected instanceof Object[] && actual instanceof Object[]
        ? Arrays.deepEquals((Object[]) expected, (Object[]) actual)
        : Objects.equals(expected, actual);
    if (!same) {
      throw new AssertionError(what + ": expected " + text(expected) + ", got " + text(actual));
    }
  }

  /** Runs {@code call}, which must throw exactly {@code type}; anything else it throws passes. */
  static void throwsExactly(Class<? extends Throwable> type, HostileCase.Body call, String what)
      throws Throwable {
    Object result;
    try {
      result = call.run(null);
    } catch (Throwable t) {
      if (t.getClass() == type) {
        return;
      }
      throw t;
    }
    throw new AssertionError(what + " returned " + text(result) + " instead of throwing " + type);
  }

  private static String text(Object value) {
    String text =
        value instanceof Object[] ? Arrays.deepToString((Object[]) value) : String.valueOf(value);
    return text.length() <= 200 ? text : text.substring(0, 200) + "...";
  }
}
