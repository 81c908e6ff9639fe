package com.qel.vandrel.com.win32.impl;

import com.qel.vandrel.com.win32.ComException;
import com.qel.vandrel.com.win32.Guid;
import com.qel.vandrel.com.win32.IDispatch;
import com.qel.vandrel.com.win32.IUnknown;

/**
 * The wrapper of an {@code IUnknown} pointer; owns exactly one reference.
 *
 * <p>Every call holds the wrapper for its duration: {@link #close()} on another thread while a
 * call is in progress only marks the wrapper closed, and the reference is released when the last
 * call in progress returns (on that call's thread). Calls that start after the close throw {@link
 * IllegalStateException}.
 *
 * <p>An unclosed wrapper that becomes unreachable hands its pointer to the native release queue,
 * which the next native call of the library that calls COM, on any thread with COM initialised,
 * empties.
 */
public class IUnknownImpl extends NativeResource implements IUnknown {
  static {
    NativeLibrary.load();
  }

  private static final NativeHandleCleaner.Release QUEUED_RELEASE =
      new NativeHandleCleaner.Release() {
        @Override
        public void release(long ptr) {
          _addReleaseWaitQueue(ptr);
        }
      };

  /**
   * Wraps an interface pointer and takes over the reference the caller holds (no {@code AddRef}).
   * Not public: applications hand pointers over through {@link #adopt(long)}.
   *
   * @throws IllegalArgumentException when ptr is 0
   */
  IUnknownImpl(long ptr) {
    super(ptr, QUEUED_RELEASE, false);
  }

  /**
   * Wraps an {@code IUnknown} pointer that the caller obtained outside this library and takes
   * over one reference to it: no {@code AddRef} is made, and the wrapper's {@link #close()} (or
   * the safety net) calls {@code Release} once.
   *
   * <p><b>Unsafe.</b> The library cannot check the value: it must be a live COM interface pointer
   * (in the form {@link IUnknown#getPtr()} gives, the address sign-extended on a 32-bit process)
   * whose reference the caller owns and gives up here. Any other value crashes the process at the
   * first call, and handing the same reference over twice releases it twice.
   *
   * @param pointer the interface pointer
   * @return a new wrapper owning that reference
   * @throws IllegalArgumentException when pointer is 0
   */
  public static IUnknown adopt(long pointer) {
    return new IUnknownImpl(pointer);
  }

  /**
   * {@inheritDoc}
   *
   * <p>Called by the native library for the interface pointers it hands to Java; the same
   * warning as for {@link #adopt(long)} applies to any other caller.
   */
  @Override
  public IUnknown newIUnknown(long ptr) {
    return ptr == 0 ? null : new IUnknownImpl(ptr);
  }

  /**
   * Wraps an {@code IDispatch} pointer, taking over the reference the caller holds (no {@code
   * AddRef}). The native library calls this for the automation objects every wrapper hands to
   * Java: call results, and the elements of an {@link com.qel.vandrel.com.win32.IEnumVARIANT}
   * (in {@link IDispatchImpl} it is {@link IDispatch#newIDispatch(long)}); the same warning as
   * for {@link #adopt(long)} applies to any other caller.
   *
   * @param ptr the {@code IDispatch} interface pointer
   * @return a new wrapper owning that reference, or null when ptr is 0
   */
  public IDispatch newIDispatch(long ptr) {
    return ptr == 0 ? null : IDispatchImpl.adopt(ptr);
  }

  /**
   * {@inheritDoc}
   *
   * <p>While the wrapper is closed but a call that started before the close still runs, the
   * pointer is still returned: the object is alive until that call returns.
   */
  @Override
  public long getPtr() {
    return handleValue();
  }

  @Override
  public boolean isClosed() {
    return isHandleClosed();
  }

  @Override
  public int addRef() {
    long p = enterUse();
    try {
      return _addRef(p);
    } finally {
      leaveUse();
    }
  }

  @Override
  public int release() {
    long p = enterUse();
    try {
      return _release(p);
    } finally {
      leaveUse();
    }
  }

  @Override
  public IUnknown queryInterface(Guid iid) {
    if (iid == null) {
      throw new NullPointerException("iid must not be null");
    }
    return queryInterface(iid.getHigh(), iid.getLow());
  }

  @Override
  public IUnknown queryInterface(long iidHigh, long iidLow) {
    long p = enterUse();
    try {
      return _queryInterface(p, iidHigh, iidLow);
    } finally {
      leaveUse();
    }
  }

  @Override
  public IDispatch queryDispatch() {
    IUnknown found = queryInterface(IDispatch.IID);
    if (found == null) {
      return null;
    }
    if (found instanceof IDispatch) {
      return (IDispatch) found;
    }
    return new IDispatchImpl(found.detach());
  }

  /**
   * {@inheritDoc}
   *
   * @throws IllegalStateException also when a call on another thread is using the wrapper: the
   *     reference cannot be handed on while that call may still need it
   */
  @Override
  public long detach() {
    long ptr = takeHandle();
    if (ptr == 0) {
      throw new IllegalStateException("The interface pointer has already been released");
    }
    return ptr;
  }

  /**
   * {@inheritDoc}
   *
   * <p>When calls on other threads are using the wrapper, the reference is released as the last
   * of them returns, on its thread; a failure of that release (an access violation in the
   * object's {@code Release}) is then logged instead of thrown.
   *
   * @throws ComException when the object's {@code Release} raises an access violation
   */
  @Override
  public void close() {
    if (isHandleClosed()) {
      return;
    }
    closeHandle(
        new NativeHandleCleaner.Release() {
          @Override
          public void release(long ptr) {
            _release(ptr);
          }
        });
  }

  @Override
  public void closeLater() {
    closeHandle(QUEUED_RELEASE);
  }

  @Override
  public String toString() {
    long ptr = peekHandle();
    return getClass().getSimpleName() + (ptr == 0 ? "(closed)" : String.format("(0x%x)", ptr));
  }

  native int _addRef(long p);

  native int _release(long p);

  native IUnknown _queryInterface(long p, long iidHigh, long iidLow);

  static native int _addReleaseWaitQueue(long p);
}
