package com.qel.vandrel.hostile;

import static com.qel.vandrel.hostile.HostileCase.initialised;

import com.qel.vandrel.testserver.TestServer;
import java.util.ArrayList;
import java.util.List;

/**
 * The harness's own cases: a child that crashes, one that hangs and one that leaks must be
 * classified so, or the suite would report a broken library as sound.
 */
final class HarnessCases {
  private HarnessCases() {}

  static List<HostileCase> all() {
    List<HostileCase> cases = new ArrayList<>();
    cases.add(initialised("Harness.CrashIsReportedAsACrash",
        Expected.classifiedAs(Outcome.Kind.CRASHED), c -> crash()));
    cases.add(initialised(
        "Harness.HangIsReportedAsAHang", Expected.classifiedAs(Outcome.Kind.HUNG), c -> hang())
                  .withTimeout(5));
    cases.add(initialised("Harness.LeakIsReportedAsALeak",
        Expected.classifiedAs(Outcome.Kind.LEAKED), HarnessCases::leak));
    return cases;
  }

  /** AddRef through a pointer to nothing, outside any guard. */
  private static Object crash() { return TestServer.refCount(8); }

  private static Object hang() throws InterruptedException {
    Thread.sleep(Long.MAX_VALUE);
    return null;
  }

  /** A Counter whose reference nobody holds any more. */
  private static Object leak(CaseContext c) { return c.newCounter().detach(); }
}
