package com.qel.vandrel.hostile;

import com.qel.vandrel.com.win32.ComService;
import com.qel.vandrel.com.win32.DispatchVariant2JavaException;
import com.qel.vandrel.com.win32.impl.NativeHandleCleaner;
import com.qel.vandrel.testserver.TestServer;
import java.io.FileOutputStream;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.util.Arrays;
import java.util.List;

/**
 * The child JVM of one case: sets the process up as the case wants, runs the case, reports its
 * outcome, then closes everything, lets the garbage collector and the release queue finish and
 * reports every count of the portable runtime and the sample server that is not back where it
 * was (see {@link Outcome} for the protocol). Its working directory is the case's own.
 */
public final class ChildMain {
  private static final int MAX_SUMMARY = 300;
  private static final long CLEANER_WAIT_MILLIS = 10_000;

  private ChildMain() {}

  public static void main(String[] args) throws Exception {
    HostileCase hostile = Cases.byName(args[0]);
    boolean initialised = hostile.start() == HostileCase.Start.INITIALISED;
    if (initialised) {
      ComService.initialize();
      TestServer.register();
    }
    Counts baseline = Counts.now();
    CaseContext context = new CaseContext();
    Object result = null;
    Throwable thrown = null;
    try {
      result = hostile.body().run(context);
      report(Outcome.OUTCOME + Outcome.RETURNED_WORD + " " + summary(result));
    } catch (Throwable t) {
      thrown = t;
      report(Outcome.OUTCOME + Outcome.THREW_WORD + " " + t.getClass().getName()
          + (t.getMessage() == null ? "" : ": " + oneLine(t.getMessage())));
      t.printStackTrace(System.out);
    }

    if (!initialised) {
      ComService.initialize(); // what the case left behind is closed on a COM thread
    }
    TestServer.setFaultyReleaseArmed(false);
    List<String> failures = context.cleanUp();
    try {
      ComService.internalReleaseIResources(result);
      if (thrown instanceof DispatchVariant2JavaException) {
        ((DispatchVariant2JavaException) thrown).releaseVariant();
      }
    } catch (RuntimeException e) {
      failures.add(e.getClass().getName() + ": " + e.getMessage());
    }
    result = null;
    thrown = null;
    for (String failure : failures) {
      report(Outcome.CLEANUP_FAILED + oneLine(failure));
    }
    awaitCleaner();
    if (initialised) {
      TestServer.revoke();
    }
    ComService.uninitialize(); // drains the release queue
    for (String leak : baseline.differences(Counts.now())) {
      report(Outcome.LEAK + leak);
    }
    report(Outcome.DONE);
    System.exit(0); // threads a case left running do not keep the child alive
  }

  /** Collects the wrappers and cells nobody references any more and lets the cleaner queue them. */
  private static void awaitCleaner() throws InterruptedException {
    long deadline = System.currentTimeMillis() + CLEANER_WAIT_MILLIS;
    while (
        NativeHandleCleaner.shared().pendingCount() > 0 && System.currentTimeMillis() < deadline) {
      System.gc();
      Thread.sleep(10);
    }
  }

  private static FileOutputStream protocol;

  /** Appends a line to the protocol file (and shows it in the output). */
  private static void report(String line) throws IOException {
    if (protocol == null) {
      protocol = new FileOutputStream(Outcome.PROTOCOL_FILE, true);
    }
    protocol.write((line + "\n").getBytes(StandardCharsets.UTF_8));
    protocol.flush();
    System.out.println(line);
    System.out.flush();
  }

  private static String summary(Object result) {
    String text = result instanceof Object[] ? Arrays.deepToString((Object[]) result)
        : result == null                     ? "null"
                                             : result.getClass().getName() + " " + result;
    text = oneLine(text);
    return text.length() <= MAX_SUMMARY ? text : text.substring(0, MAX_SUMMARY) + "...";
  }

  private static String oneLine(String text) {
    return text.replace("\\", "\\\\").replace("\n", "\\n").replace("\r", "\\r");
  }

  /** The live counts a case must leave as it found them. */
  private record Counts(long objects, int bstrs, int safeArrays) {
    static Counts now() {
      return new Counts(
          TestServer.liveObjects(), TestServer.liveBstrs(), TestServer.liveSafeArrays());
    }

    List<String> differences(Counts after) {
      java.util.ArrayList<String> out = new java.util.ArrayList<>();
      if (after.objects != objects) {
        out.add("live sample objects " + objects + " -> " + after.objects);
      }
      if (after.bstrs != bstrs) {
        out.add("live BSTRs " + bstrs + " -> " + after.bstrs);
      }
      if (after.safeArrays != safeArrays) {
        out.add("live SAFEARRAYs " + safeArrays + " -> " + after.safeArrays);
      }
      return out;
    }
  }
}
