package com.qel.vandrel.com.win32;

import java.util.concurrent.atomic.AtomicLong;

/**
 * An automation call succeeded but its result could not be converted to a Java value (for
 * instance an unsupported variant type).
 *
 * <p>The exception keeps the native result so nothing leaks and a caller that knows better can
 * still look at it. Call {@link #releaseVariant()} when done; only the first call frees the
 * variant, whichever thread makes it.
 */
public class DispatchVariant2JavaException extends DispatchException {
  private static final long serialVersionUID = 1L;

  /** Frees a native variant given its handle. */
  interface VariantRelease {
    void release(long variantHandle);
  }

  private static final VariantRelease NATIVE_RELEASE =
      new VariantRelease() {
        @Override
        public void release(long variantHandle) {
          ComService._releaseVariant(variantHandle);
        }
      };

  private final transient AtomicLong variantHandle;
  private final transient VariantRelease release;

  /**
   * Creates the exception; it takes over the native variant.
   *
   * @param message what could not be converted
   * @param variantHandle the address of the native variant holding the result
   */
  public DispatchVariant2JavaException(String message, long variantHandle) {
    this(message, variantHandle, NATIVE_RELEASE);
  }

  DispatchVariant2JavaException(String message, long variantHandle, VariantRelease release) {
    super(message);
    this.variantHandle = new AtomicLong(variantHandle);
    this.release = release;
  }

  /**
   * Returns the address of the native variant, or 0 once it has been released (or when the
   * exception went through serialization).
   */
  public long getVariantHandle() {
    return variantHandle == null ? 0 : variantHandle.get();
  }

  /**
   * Frees the native variant. The first call frees it; later calls, from any thread, do nothing.
   */
  public void releaseVariant() {
    if (variantHandle == null) {
      return;
    }
    long handle = variantHandle.getAndSet(0);
    if (handle != 0) {
      release.release(handle);
    }
  }
}
