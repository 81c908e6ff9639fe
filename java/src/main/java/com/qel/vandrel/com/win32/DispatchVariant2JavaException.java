package com.qel.vandrel.com.win32;

import com.qel.vandrel.com.win32.impl.NativeHandleCleaner;

/**
 * An automation call succeeded but its result could not be converted to a Java value (for
 * instance an unsupported variant type).
 *
 * <p>The exception keeps the native result so a caller that knows better can still look at it.
 * Call {@link #releaseVariant()} when done; only the first call frees the variant, whichever thread
 * makes it. An exception that is never released does not keep the variant (and the strings,
 * arrays and objects inside it) for ever: once the exception is unreachable, its variant is queued
 * for release, and the next native call of the library that calls COM, on any thread with COM
 * initialised, releases it (COM objects inside must be released on such a thread, not on the
 * collector's).
 *
 * <p>{@link #getVarType()} tells the type of the refused variant, and {@link
 * #getLocalizedMessage()} (so a stack trace) prints it by name after the library's message, as in
 * {@code Echo: Unexpected variant type:e. (the variant holds VT_DECIMAL (0xE))}; {@link
 * #getMessage()} keeps the library's text alone.
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

  private static final NativeHandleCleaner.Release QUEUED_RELEASE =
      new NativeHandleCleaner.Release() {
        @Override
        public void release(long variantHandle) {
          ComService._releaseVariantLater(variantHandle);
        }
      };

  // Null when there is no variant, or after serialization.
  private final transient NativeHandleCleaner.Handle variant;
  private final transient VariantRelease release;
  /** The refused variant's VARTYPE, -1 when there is no variant. */
  private final int varType;

  /**
   * Creates the exception; it takes over the native variant. Made by the native library only (the
   * handle is the address of a native block no Java code could vouch for).
   *
   * @param message what could not be converted
   * @param variantHandle the address of the native variant holding the result, or 0
   */
  DispatchVariant2JavaException(String message, long variantHandle) {
    this(
        message,
        variantHandle,
        NATIVE_RELEASE,
        NativeHandleCleaner.shared(),
        ComService._variantType(variantHandle));
  }

  /** For tests: releases through {@code release}; a leaked variant is never released. */
  DispatchVariant2JavaException(String message, long variantHandle, VariantRelease release) {
    this(message, variantHandle, release, new NativeHandleCleaner(), -1);
  }

  private DispatchVariant2JavaException(
      String message,
      long variantHandle,
      VariantRelease release,
      NativeHandleCleaner net,
      int varType) {
    super(message);
    this.varType = varType;
    this.variant = variantHandle == 0 ? null : net.register(this, variantHandle, QUEUED_RELEASE);
    this.release = release;
  }

  /**
   * Returns the address of the native variant, or 0 once it has been released (or when there is
   * none, or the exception went through serialization).
   *
   * @return the address of the native variant, or 0 once it has been released (or when there is none, or the exception went through serialization)
   */
  public long getVariantHandle() {
    return variant == null ? 0 : variant.peek();
  }

  /**
   * Returns the {@code VARTYPE} of the variant that could not be converted, as it was when the
   * exception was made (it stays readable after {@link #releaseVariant()}); {@link
   * VarType#name(int)} gives its name.
   *
   * @return the type, or -1 when the exception carries no variant
   */
  public int getVarType() {
    return varType;
  }

  /**
   * Returns the message of {@link ComException#getLocalizedMessage()} followed by the variant's
   * type by name, when there is a variant.
   *
   * @return the message a reader of a log or stack trace is shown
   */
  @Override
  public String getLocalizedMessage() {
    String text = super.getLocalizedMessage();
    return varType < 0 ? text : text + " (the variant holds " + VarType.name(varType) + ")";
  }

  /**
   * Frees the native variant. The first call frees it; later calls, from any thread, do nothing.
   */
  public void releaseVariant() {
    if (variant == null) {
      return;
    }
    long handle = variant.take();
    if (handle != 0) {
      release.release(handle);
    }
  }
}
