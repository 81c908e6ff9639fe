package guardtest;

/**
 * Hot code that keeps the VM's own fault handling busy: calls on a null receiver (implicit null
 * checks in the interpreter and compiled code), allocation that makes the collector stop the
 * threads at safepoints, and faults caught by the native access-violation guard in between.
 */
public final class NpeLoop {
  private static volatile Object garbage;
  private int value = 1;

  private NpeLoop() {}

  private int value() {
    return value;
  }

  /** Runs count faulting calls under the guard; returns how many the guard caught. */
  static native int guardedFaults(int count);

  /** Calls a method on a null receiver iterations times; returns the exceptions caught. */
  public static int countNullPointerExceptions(int iterations) {
    return run(iterations, null, 0)[0];
  }

  /**
   * Like countNullPointerExceptions, with a guarded fault every faultEvery iterations. Returns
   * {exceptions caught, guarded faults caught}.
   */
  public static int[] run(int iterations, NpeLoop receiver, int faultEvery) {
    int caught = 0;
    int faults = 0;
    for (int i = 0; i < iterations; i++) {
      try {
        caught -= receiver.value();
      } catch (NullPointerException e) {
        caught++;
      }
      garbage = new byte[256];
      if (faultEvery > 0 && i % faultEvery == 0) {
        faults += guardedFaults(1);
      }
    }
    return new int[] {caught, faults};
  }

  /** Runs run(iterations, null, faultEvery) on threads Java threads; returns the summed results. */
  public static int[] onThreads(int threads, final int iterations, final int faultEvery)
      throws InterruptedException {
    final int[][] results = new int[threads][];
    Thread[] started = new Thread[threads];
    for (int t = 0; t < threads; t++) {
      final int slot = t;
      started[t] = new Thread(() -> results[slot] = run(iterations, null, faultEvery));
      started[t].start();
    }
    int[] sum = new int[2];
    for (int t = 0; t < threads; t++) {
      started[t].join();
      sum[0] += results[t][0];
      sum[1] += results[t][1];
    }
    return sum;
  }
}
