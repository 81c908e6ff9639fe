package com.qel.vandrel.hostile;

import java.util.regex.Pattern;

/**
 * The outcome a case should have: it returns, or it throws an exception of exactly one class whose
 * message matches a pattern. Anything else (another exception, a crash, a hang, a leak, a JNI
 * warning) is a mismatch. Only the harness's own cases expect a crash, a hang or a leak.
 */
final class Expected {
  private final Outcome.Kind kind;
  private final String exceptionClass; // THREW only; null there: any class
  private final Pattern message; // THREW only; null: any message
  private final String description;

  private Expected(Outcome.Kind kind, String exceptionClass, Pattern message, String description) {
    this.kind = kind;
    this.exceptionClass = exceptionClass;
    this.message = message;
    this.description = description;
  }

  /** The case returns (a documented result); the body checks the value itself. */
  static Expected returns() { return new Expected(Outcome.Kind.RETURNED, null, null, "returned"); }

  /** The case throws {@code type} (exactly) with {@code part} somewhere in its message. */
  static Expected throwsWith(Class<? extends Throwable> type, String part) {
    return new Expected(Outcome.Kind.THREW, type.getName(), Pattern.compile(Pattern.quote(part)),
        "threw " + type.getName() + " with \"" + part + "\" in its message");
  }

  /** The case throws {@code type} (exactly) with a message in which {@code regex} is found. */
  static Expected throwsMatching(Class<? extends Throwable> type, String regex) {
    return new Expected(Outcome.Kind.THREW, type.getName(), Pattern.compile(regex),
        "threw " + type.getName() + " with a message matching /" + regex + "/");
  }

  /** The case throws {@code type} (exactly), whatever the message. */
  static Expected throwsAny(Class<? extends Throwable> type) {
    return new Expected(Outcome.Kind.THREW, type.getName(), null, "threw " + type.getName());
  }

  /**
   * The child is classified {@code kind}, whatever the details: for the harness's own cases, which
   * show that a crash, a hang or a leak is reported as such.
   */
  static Expected classifiedAs(Outcome.Kind kind) {
    return new Expected(kind, null, null, kind.name().toLowerCase().replace('_', ' '));
  }

  /** Whether the child's classified outcome is what was expected. */
  boolean matches(Outcome outcome) {
    if (outcome.kind() != kind) {
      return false;
    }
    if (exceptionClass != null && !exceptionClass.equals(outcome.exceptionClass())) {
      return false;
    }
    return message == null
        || (outcome.message() != null && message.matcher(outcome.message()).find());
  }

  @Override
  public String toString() {
    return description;
  }
}
