package com.qel.vandrel.bench;

/**
 * What the benchmark figures are compared with, from the benchmark's own native library
 * (OstrelBenchFloors). Every looping native runs its whole count inside one call.
 */
final class Floors {
  static {
    System.loadLibrary("OstrelBenchFloors");
  }

  /** Bytes of the largest copy {@link #copyBytes} makes. */
  static final int COPY_LIMIT = 8 * 1000 * 1000;

  /** Same signature as the bridge's IDispatchImpl._invoke; returns null and does nothing. */
  native Object emptyInvoke(long p, long dispId, int lcid, int flags, Object[] args);

  /** Calls the no-argument method dispId count times; returns the number of failed calls. */
  static native int directInvoke(long dispatch, int dispId, int count);

  /**
   * Calls the Bench object's Choose(i, s, d) count times, making and freeing the BSTR of s for
   * every call; returns the number of failed calls.
   */
  static native int directChoose(long dispatch, int i, String s, double d, int count);

  /** What {@link #upcalls} calls: an empty handler method. */
  static final class Callee {
    Object event(int dispId, Object[] args) {
      return null;
    }
  }

  /** Calls target.event(1, null) count times from native code; returns the calls that threw. */
  static native int upcalls(Callee target, int count);

  /** Copies bytes (at most COPY_LIMIT) between two buffers count times. */
  static native boolean copyBytes(int bytes, int count);

  /** JNI global references alive in the VM (its own included); -1 when they cannot be counted. */
  static native long globalReferences();
}
