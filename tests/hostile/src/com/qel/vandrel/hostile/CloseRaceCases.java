package com.qel.vandrel.hostile;

import static com.qel.vandrel.hostile.HostileCase.initialised;

import com.qel.vandrel.com.win32.ComService;
import com.qel.vandrel.com.win32.IDispatch;
import com.qel.vandrel.com.win32.RefInt;
import com.qel.vandrel.com.win32.RefString;
import com.qel.vandrel.testserver.TestServer;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.ThreadLocalRandom;
import java.util.concurrent.atomic.AtomicReference;

/**
 * One thread calls in a loop while another closes what the call uses - an argument's cell or
 * wrapper, a wrapper inside an Object[] argument, the called object - at a random moment. Each call
 * returns the right result or throws IllegalStateException; a call that starts after the close
 * throws; nothing is freed under a call, nothing leaks.
 */
final class CloseRaceCases {
  private static final int ROUNDS = 200;
  /** Busy-wait iterations before the close, at most: from nothing to tens of microseconds. */
  private static final int MAX_SPINS = 20_000;

  private CloseRaceCases() {}

  /** Makes the resource of one round. */
  @FunctionalInterface
  interface Maker<R> {
    R make(int round) throws Exception;
  }

  /** One call using the resource: checks its result and releases what it returned. */
  @FunctionalInterface
  interface Use<R> {
    void call(R resource, int round) throws Exception;
  }

  static List<HostileCase> all() {
    List<HostileCase> cases = new ArrayList<>();
    cases.add(initialised(
        "CloseRace.StringCellArgument", Expected.returns(), CloseRaceCases::stringCellArgument));
    cases.add(initialised(
        "CloseRace.CellWrittenByTheCallee", Expected.returns(), CloseRaceCases::cellWritten));
    cases.add(initialised(
        "CloseRace.WrapperArgument", Expected.returns(), CloseRaceCases::wrapperArgument));
    cases.add(initialised("CloseRace.WrapperInsideAnArrayArgument", Expected.returns(),
        CloseRaceCases::wrapperInsideArray));
    cases.add(initialised("CloseRace.CalledObject", Expected.returns(), c -> calledObject()));
    return cases;
  }

  private static Object stringCellArgument(CaseContext c) throws Throwable {
    IDispatch automation = c.automation();
    Use<RefString> echo = (cell, round) -> {
      Checks.equal(payload(round), automation.invoke("Echo", cell), "the echo");
    };
    return race(CloseRaceCases::payloadCell, echo);
  }

  private static Object cellWritten(CaseContext c) throws Throwable {
    IDispatch automation = c.automation();
    Use<RefInt> setRef = (cell, round) -> automation.invoke("SetRef", cell, round);
    return race(round -> new RefInt(), setRef);
  }

  private static Object wrapperArgument(CaseContext c) throws Throwable {
    IDispatch automation = c.automation();
    Use<IDispatch> echo = (counter, round) -> {
      checkCounter(automation.invoke("Echo", counter), "the echo");
    };
    return race(CloseRaceCases::newCounter, echo);
  }

  private static Object wrapperInsideArray(CaseContext c) throws Throwable {
    IDispatch automation = c.automation();
    Use<IDispatch> echo = (counter, round) -> {
      Object echoed = automation.invoke("Echo", (Object) new Object[] {counter});
      try {
        Checks.isTrue(echoed instanceof Object[], "the echo is no array: " + echoed);
        checkCounter(((Object[]) echoed)[0], "the echoed element");
      } finally {
        ComService.internalReleaseIResources(echoed);
      }
    };
    return race(CloseRaceCases::newCounter, echo);
  }

  private static Object calledObject() throws Throwable {
    Use<IDispatch> echo = (automation, round) -> {
      Checks.equal(payload(round), automation.invoke("Echo", payload(round)), "the echo");
    };
    return race(round -> ComService.createDispatch(TestServer.CLSID_AUTOMATION), echo);
  }

  /**
   * Runs {@link #ROUNDS} rounds: a new resource, a thread that closes it after a random short
   * while, and calls on this thread until one throws IllegalStateException.
   */
  static <R extends AutoCloseable> String race(Maker<R> maker, Use<R> use) throws Throwable {
    long calls = 0;
    for (int round = 0; round < ROUNDS; round++) {
      R resource = maker.make(round);
      CountDownLatch start = new CountDownLatch(1);
      AtomicReference<Throwable> closeFailure = new AtomicReference<>();
      int spins = ThreadLocalRandom.current().nextInt(MAX_SPINS);
      Thread closer = new Thread(() -> {
        try {
          start.await();
          spin(spins);
          resource.close();
        } catch (Throwable t) {
          closeFailure.set(t);
        }
      }, "closer");
      closer.start();
      start.countDown();
      for (;;) {
        boolean closedBefore = !closer.isAlive();
        try {
          use.call(resource, round);
        } catch (IllegalStateException e) {
          break; // the close came first
        }
        calls++;
        Checks.isTrue(
            !closedBefore, "round " + round + ": a call that started after the close returned");
      }
      closer.join();
      if (closeFailure.get() != null) {
        throw closeFailure.get();
      }
    }
    return ROUNDS + " rounds, " + calls + " calls returned before the close";
  }

  private static volatile long sink;

  private static void spin(int iterations) {
    long x = 0;
    for (int i = 0; i < iterations; i++) {
      x += i ^ (x << 1);
    }
    sink = x;
  }

  private static String payload(int round) {
    return "round " + round + " "
        + "payload ".repeat(16);
  }

  private static RefString payloadCell(int round) { return new RefString(payload(round)); }

  private static IDispatch newCounter(int round) {
    return ComService.createDispatch(TestServer.CLSID_COUNTER);
  }

  /** An echoed Counter: a wrapper of its own that still answers; closed afterwards. */
  private static void checkCounter(Object echoed, String what) {
    Checks.isTrue(echoed instanceof IDispatch, what + " is no IDispatch: " + echoed);
    try (IDispatch counter = (IDispatch) echoed) {
      Checks.equal("Counter", counter.get("Kind"), what + "'s Kind");
    }
  }
}
