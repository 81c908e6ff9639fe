package com.qel.vandrel.com.win32.impl;

import com.qel.vandrel.com.win32.ComException;
import com.qel.vandrel.com.win32.IEnumUnknown;
import com.qel.vandrel.com.win32.IOleContainer;
import com.qel.vandrel.com.win32.IUnknown;
import java.util.concurrent.atomic.AtomicBoolean;

/**
 * The wrapper of an {@code IOleContainer} pointer; owns exactly one reference, like every {@link
 * IUnknownImpl}.
 */
public class IOleContainerImpl extends IUnknownImpl implements IOleContainer {
  /** Wraps a pointer and takes over the reference the caller holds. */
  IOleContainerImpl(long ptr) {
    super(ptr);
  }

  /**
   * Asks an object for {@code IOleContainer}.
   *
   * @param object the object; it keeps its own reference
   * @return a new container wrapper owning the reference {@code QueryInterface} returned
   * @throws com.qel.vandrel.com.win32.DispatchException when the object is no container
   * @throws NullPointerException when object is null
   */
  public static IOleContainer queryFrom(IUnknown object) {
    IUnknown found = object.queryInterface(IOleContainer.IID);
    return found == null ? null : new IOleContainerImpl(found.detach());
  }

  @Override
  public IEnumUnknown enumObjects(int flags) {
    IUnknown found;
    long p = enterUse();
    try {
      found = _enumObjects(p, flags);
    } finally {
      leaveUse();
    }
    if (found == null) {
      return null;
    }
    IEnumUnknownImpl enumerator = new IEnumUnknownImpl(found.detach());
    // _enumObjects hands over two references; the wrapper keeps one.
    enumerator.release();
    return enumerator;
  }

  @Override
  public boolean lockContainer(boolean lock) {
    long p = enterUse();
    try {
      return _lockContainer(p, lock);
    } finally {
      leaveUse();
    }
  }

  @Override
  public Lock lock() {
    if (!lockContainer(true)) {
      throw new ComException("the container refused LockContainer(TRUE)");
    }
    final AtomicBoolean held = new AtomicBoolean(true);
    return new Lock() {
      @Override
      public void close() {
        if (held.getAndSet(false)) {
          lockContainer(false);
        }
      }
    };
  }

  native IUnknown _enumObjects(long p, int flags);

  native boolean _lockContainer(long p, boolean lock);
}
