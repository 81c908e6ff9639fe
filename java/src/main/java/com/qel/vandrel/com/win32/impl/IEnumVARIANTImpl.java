package com.qel.vandrel.com.win32.impl;

import com.qel.vandrel.com.win32.IEnumVARIANT;
import com.qel.vandrel.com.win32.IUnknown;

/**
 * The wrapper of an {@code IEnumVARIANT} pointer; owns exactly one reference, like every {@link
 * IUnknownImpl}.
 */
public class IEnumVARIANTImpl extends EnumeratorImpl<Object, IEnumVARIANT>
    implements IEnumVARIANT {
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
  IEnumVARIANT wrap(long ptr) {
    return new IEnumVARIANTImpl(ptr);
  }

  @Override
  native Object[] _next(long p, int count);

  @Override
  native boolean _skip(long p, int count);

  @Override
  native boolean _reset(long p);

  @Override
  native IUnknown __clone(long p);
}
