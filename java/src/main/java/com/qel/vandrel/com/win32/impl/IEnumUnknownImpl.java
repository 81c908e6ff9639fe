package com.qel.vandrel.com.win32.impl;

import com.qel.vandrel.com.win32.IEnumUnknown;
import com.qel.vandrel.com.win32.IUnknown;

/**
 * The wrapper of an {@code IEnumUnknown} pointer; owns exactly one reference, like every {@link
 * IUnknownImpl}.
 */
public class IEnumUnknownImpl extends EnumeratorImpl<IUnknown, IEnumUnknown>
    implements IEnumUnknown {
  /** Wraps a pointer and takes over the reference the caller holds. */
  IEnumUnknownImpl(long ptr) {
    super(ptr);
  }

  /**
   * Asks an object for {@code IEnumUnknown}.
   *
   * @param object the object; it keeps its own reference
   * @return a new enumerator wrapper owning the reference {@code QueryInterface} returned
   * @throws com.qel.vandrel.com.win32.DispatchException when the object is no enumerator
   * @throws NullPointerException when object is null
   */
  public static IEnumUnknown queryFrom(IUnknown object) {
    IUnknown found = object.queryInterface(IEnumUnknown.IID);
    return found == null ? null : new IEnumUnknownImpl(found.detach());
  }

  @Override
  IEnumUnknown wrap(long ptr) {
    return new IEnumUnknownImpl(ptr);
  }

  @Override
  native IUnknown[] _next(long p, int count);

  @Override
  native boolean _skip(long p, int count);

  @Override
  native boolean _reset(long p);

  @Override
  native IUnknown __clone(long p);
}
