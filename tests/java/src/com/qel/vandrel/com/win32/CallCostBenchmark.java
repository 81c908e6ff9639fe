package com.qel.vandrel.com.win32;

import com.qel.vandrel.com.win32.impl.NativeHandleCleaner;
import com.qel.vandrel.testserver.TestServer;

/**
 * A loop benchmark of the cost per call of the wrappers and cells, run by hand (it is no test):
 *
 * <pre>
 * B=build/linux
 * java -Djava.library.path=$B:$B/testserver \
 *     -cp $B/tests/java/classes:$B/java/ostrel32.jar:$B/testserver/testserver.jar \
 *     com.qel.vandrel.com.win32.CallCostBenchmark
 * </pre>
 *
 * <p>Each row finds a number of calls that takes about 20 ms, warms up, runs measured rounds of
 * that many calls and prints the best round's nanoseconds per call, the figure least disturbed by
 * other processes.
 */
public final class CallCostBenchmark {
  private static final long ROUND_NANOS = 20_000_000;
  private static final int ROUNDS = 15;

  private interface Call {
    void run();
  }

  private CallCostBenchmark() {}

  public static void main(String[] args) {
    ComService.Apartment apartment = ComService.enterApartment();
    try {
      TestServer.register();
      try (IDispatch automation = ComService.createDispatch(TestServer.CLSID_AUTOMATION);
          IDispatch counter = ComService.createDispatch(TestServer.CLSID_COUNTER);
          RefInt cell = new RefInt(7)) {
        Object[] none = {};
        Object[] number = {1};
        Object[] wrapper = {counter};
        Object[] nested = {new Object[] {1, "two", 3.0}};
        long echo = TestServer.DISPID_ECHO;
        int method = IDispatch.DISPATCH_METHOD;
        NativeHandleCleaner.Handle handle =
            new NativeHandleCleaner().register(cell, 1, value -> {});
        measure("Handle.enter() + leave()", () -> {
          handle.enter();
          handle.leave();
        });
        measure("RefInt.get()", cell::get);
        measure("RefInt.set(int)", () -> cell.set(3));
        measure("addRef() + release()", () -> {
          counter.addRef();
          counter.release();
        });
        measure("invoke(RefCount) no arguments", () -> automation.invoke(
            TestServer.DISPID_REF_COUNT, IDispatch.DISPATCH_PROPERTYGET, none));
        measure("invoke(Echo, Integer)", () -> automation.invoke(echo, method, number));
        measure("invoke(Echo, IDispatch)", () -> {
          ((IDispatch) automation.invoke(echo, method, wrapper)).close();
        });
        measure("invoke(Echo, RefInt)", () -> automation.invoke(echo, method, cell));
        measure("invoke(Echo, Object[3])", () -> automation.invoke(echo, method, nested));
      } finally {
        TestServer.revoke();
      }
    } finally {
      apartment.close();
    }
  }

  private static void measure(String name, Call call) {
    int calls = 100;
    while (time(call, calls) < ROUND_NANOS && calls < (1 << 24)) {
      calls *= 2;
    }
    long best = Long.MAX_VALUE;
    for (int round = 0; round < ROUNDS; ++round) {
      best = Math.min(best, time(call, calls));
    }
    System.out.printf("%-34s %8.1f ns/call%n", name, (double) best / calls);
  }

  private static long time(Call call, int calls) {
    long start = System.nanoTime();
    for (int i = 0; i < calls; ++i) {
      call.run();
    }
    return System.nanoTime() - start;
  }
}
