package com.qel.vandrel.com.win32.impl;

import com.qel.vandrel.com.win32.Guid;
import com.qel.vandrel.com.win32.IDispatch;
import com.qel.vandrel.com.win32.IUnknown;

/**
 * The wrapper of an {@code IUnknown} pointer; owns exactly one reference.
 *
 * <p>An unclosed wrapper that becomes unreachable hands its pointer to the native release queue,
 * which the next COM call on any COM thread drains.
 */
public class IUnknownImpl implements IUnknown {
  static {
    NativeLibrary.load();
  }

  private static final NativeHandleCleaner.Release DEFERRED_RELEASE =
      new NativeHandleCleaner.Release() {
        @Override
        public void release(long ptr) {
          _addReleaseWaitQueue(ptr);
        }
      };

  private final NativeHandleCleaner.Handle handle;

  /**
   * Wraps an interface pointer and takes over the reference the caller holds (no {@code AddRef}).
   *
   * @throws IllegalArgumentException when ptr is 0
   */
  public IUnknownImpl(long ptr) {
    handle = NativeHandleCleaner.shared().register(this, ptr, DEFERRED_RELEASE);
  }

  @Override
  public IUnknown newIUnknown(long ptr) {
    return ptr == 0 ? null : new IUnknownImpl(ptr);
  }

  @Override
  public long getPtr() {
    return handle.get();
  }

  @Override
  public boolean isClosed() {
    return !handle.isOpen();
  }

  @Override
  public int addRef() {
    return _addRef(getPtr());
  }

  @Override
  public int release() {
    return _release(getPtr());
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
    return _queryInterface(getPtr(), iidHigh, iidLow);
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

  @Override
  public long detach() {
    long ptr = handle.take();
    if (ptr == 0) {
      throw new IllegalStateException("The interface pointer has already been released");
    }
    return ptr;
  }

  @Override
  public void close() {
    long ptr = handle.take();
    if (ptr != 0) {
      _release(ptr);
    }
  }

  @Override
  public void closeLater() {
    long ptr = handle.take();
    if (ptr != 0) {
      _addReleaseWaitQueue(ptr);
    }
  }

  @Override
  public String toString() {
    long ptr = handle.peek();
    return getClass().getSimpleName() + (ptr == 0 ? "(closed)" : String.format("(0x%x)", ptr));
  }

  native int _addRef(long p);

  native int _release(long p);

  native IUnknown _queryInterface(long p, long iidHigh, long iidLow);

  static native int _addReleaseWaitQueue(long p);
}
