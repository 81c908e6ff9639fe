package com.qel.vandrel.hostile;

import java.util.ArrayList;
import java.util.List;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * What became of a case in its child JVM, read from the child's exit and output.
 *
 * <p>The child reports through the lines of a file of its own, {@link #PROTOCOL_FILE} in its
 * working directory (its output may interleave with what the JVM prints from other threads): one
 * {@link #OUTCOME} line (what the case returned or threw), a {@link #LEAK} line per count not back
 * at its baseline, a {@link #CLEANUP_FAILED} line per resource that could not be closed, and {@link
 * #DONE} last. The classification takes the worst that happened: hung, then crashed, then a JNI
 * warning in the output, then leaked, and only then the reported outcome.
 */
record Outcome(Kind kind, String detail, String exceptionClass, String message) {
  static final String PROTOCOL_FILE = "hostile-protocol.txt";
  static final String OUTCOME = "hostile-outcome: ";
  static final String LEAK = "hostile-leak: ";
  static final String CLEANUP_FAILED = "hostile-cleanup-failed: ";
  static final String DONE = "hostile-done";
  static final String RETURNED_WORD = "returned";
  static final String THREW_WORD = "threw";

  /** The classification of a child run. */
  enum Kind { RETURNED, THREW, CRASHED, HUNG, LEAKED, JNI_WARNING }

  private static final Pattern THREW_LINE =
      Pattern.compile("^" + THREW_WORD + " ([\\w.$]+)(?:: (.*))?$");

  /** Lines of a crashed child's output or fatal error report that say what went wrong. */
  private static final Pattern CRASH_CAUSE = Pattern.compile(
      "FATAL ERROR in native method: .*|ERROR: AddressSanitizer: .*|.*runtime error: .*"
      + "|# +(SIGSEGV|SIGBUS|SIGILL|SIGFPE) .*|# [CVJj] +\\[.*|free\\(\\): .*"
      + "|double free .*|munmap_chunk\\(\\): .*|malloc\\(\\): .*");

  /**
   * Classifies a finished (or killed) child.
   *
   * @param output everything the child printed, standard output and error together
   * @param protocol the lines of the child's protocol file
   * @param exitCode the exit code, null when the child was killed after the timeout
   * @param crashReports the JVM's fatal error reports (hs_err files) the child left
   * @param jniWarnings what -Xcheck:jni prints about a JNI misuse
   */
  static Outcome classify(String output, List<String> protocol, Integer exitCode,
      List<String> crashReports, Pattern jniWarnings) {
    String reported = null;
    List<String> leaks = new ArrayList<>();
    boolean done = false;
    for (String line : protocol) {
      if (line.startsWith(OUTCOME) && reported == null) {
        reported = line.substring(OUTCOME.length());
      } else if (line.startsWith(LEAK)) {
        leaks.add(line.substring(LEAK.length()));
      } else if (line.startsWith(CLEANUP_FAILED)) {
        leaks.add("closing failed: " + line.substring(CLEANUP_FAILED.length()));
      } else if (line.equals(DONE)) {
        done = true;
      }
    }
    String after = reported == null ? "before the case reported an outcome" : "after: " + reported;
    if (exitCode == null) {
      return of(Kind.HUNG, "no end within the timeout, " + after);
    }
    if (!crashReports.isEmpty()) {
      return of(Kind.CRASHED,
          "the JVM wrote a fatal error report" + causes(String.join("\n", crashReports)) + ", "
              + after);
    }
    if (exitCode != 0) {
      return of(Kind.CRASHED, exitDescription(exitCode) + causes(output) + ", " + after);
    }
    if (!done || reported == null) {
      return of(Kind.CRASHED, "exit 0 without finishing the protocol, " + after);
    }
    Matcher warning = jniWarnings.matcher(output);
    if (warning.find()) {
      return of(Kind.JNI_WARNING, "\"" + lineAt(output, warning.start()) + "\", " + after);
    }
    if (!leaks.isEmpty()) {
      return of(Kind.LEAKED, String.join("; ", leaks) + ", " + after);
    }
    if (reported.equals(RETURNED_WORD) || reported.startsWith(RETURNED_WORD + " ")) {
      return new Outcome(Kind.RETURNED, reported, null, null);
    }
    Matcher threw = THREW_LINE.matcher(reported);
    if (threw.matches()) {
      return new Outcome(Kind.THREW, reported, threw.group(1), threw.group(2));
    }
    return of(Kind.CRASHED, "unreadable outcome line: " + reported);
  }

  private static Outcome of(Kind kind, String detail) {
    return new Outcome(kind, detail, null, null);
  }

  private static String exitDescription(int exitCode) {
    if (exitCode > 128 && exitCode < 160) {
      int signal = exitCode - 128;
      String name = switch (signal) {
            case 4 -> "SIGILL";
            case 6 -> "SIGABRT";
            case 7 -> "SIGBUS";
            case 8 -> "SIGFPE";
            case 9 -> "SIGKILL";
            case 11 -> "SIGSEGV";
            default -> "signal " + signal;
          };
      return "killed by " + name + " (exit " + exitCode + ")";
    }
    return "exit " + exitCode;
  }

  /** The first few crash causes found in {@code text}, as " (a; b)", or "". */
  private static String causes(String text) {
    List<String> found = new ArrayList<>();
    Matcher cause = CRASH_CAUSE.matcher(text);
    while (found.size() < 3 && cause.find()) {
      found.add(cause.group().strip());
    }
    return found.isEmpty() ? "" :
              " (" + String.join("; ", found) + ")";
      }

      private static String lineAt(String text, int index) {
        int start = text.lastIndexOf('\n', index) + 1;
        int end = text.indexOf('\n', index);
        return text.substring(start, end < 0 ? text.length() : end).strip();
      }

      @Override
      public String toString() {
        return switch (kind) {
      case RETURNED, THREW -> detail;
      default -> kind.name().toLowerCase().replace('_', ' ') + ": " + detail;
    };
  }
}
