package com.qel.vandrel.com.win32.impl;

import com.qel.vandrel.com.win32.IEnumVARIANT;
import com.qel.vandrel.com.win32.IUnknown;
import java.util.Iterator;

/**
 * The wrapper of an {@code IEnumVARIANT} pointer; owns exactly one reference, like every {@link
 * IUnknownImpl}.
 */
public class IEnumVARIANTImpl extends IUnknownImpl implements IEnumVARIANT {
  // Elements fetched per Next call of a for-each walk.
  private static final int BATCH = 16;

  /** Wraps a pointer and takes over the reference the caller holds. */
  IEnumVARIANTImpl(long ptr) {
    super(ptr);
  }

  /**
   * Asks an object for {@code IEnumVARIANT}.
   *
   * @param object the object; it keeps its own reference
   * @return a new enumerator wrapper owning the reference {@code QueryInterface} returned
   * @throws com.qel.vandrel.com.win32.DispatchException when the object is no enumerator
   * @throws NullPointerException when object is null
   */
  public static IEnumVARIANT queryFrom(IUnknown object) {
    IUnknown found = object.queryInterface(IEnumVARIANT.IID);
    return found == null ? null : new IEnumVARIANTImpl(found.detach());
  }

  @Override
  public Object[] next(int count) {
    long p = enterUse();
    try {
      return _next(p, count);
    } finally {
      leaveUse();
    }
  }

  @Override
  public boolean skip(int count) {
    long p = enterUse();
    try {
      return _skip(p, count);
    } finally {
      leaveUse();
    }
  }

  @Override
  public boolean reset() {
    long p = enterUse();
    try {
      return _reset(p);
    } finally {
      leaveUse();
    }
  }

  @Override
  public IEnumVARIANT clone() {
    IUnknown copy;
    long p = enterUse();
    try {
      copy = __clone(p);
    } finally {
      leaveUse();
    }
    return copy == null ? null : new IEnumVARIANTImpl(copy.detach());
  }

  /**
   * {@inheritDoc}
   *
   * <p>Wrappers fetched in a batch but not yet handed out when a walk is abandoned are released
   * by the safety net.
   */
  @Override
  public Iterator<Object> iterator() {
    reset();
    return new BatchIterator<>(this::next, BATCH);
  }

  native Object[] _next(long p, int count);

  native boolean _skip(long p, int count);

  native boolean _reset(long p);

  native IUnknown __clone(long p);
}
