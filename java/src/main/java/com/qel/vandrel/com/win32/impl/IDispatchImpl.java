package com.qel.vandrel.com.win32.impl;

import com.qel.vandrel.com.win32.DispatchException;
import com.qel.vandrel.com.win32.IDispatch;
import java.util.HashMap;
import java.util.Map;

/** The wrapper of an {@code IDispatch} pointer; owns exactly one reference. */
public class IDispatchImpl extends IUnknownImpl implements IDispatch {
  private static final Object[] NO_ARGS = {};

  private final Map<String, Long> dispIds = new HashMap<>();
  private int lcid = LOCALE_USER_DEFAULT;

  /**
   * Wraps an {@code IDispatch} pointer and takes over the reference the caller holds (no {@code
   * AddRef}).
   *
   * @throws IllegalArgumentException when ptr is 0
   */
  public IDispatchImpl(long ptr) {
    super(ptr);
  }

  @Override
  public IDispatch newIDispatch(long ptr) {
    return ptr == 0 ? null : new IDispatchImpl(ptr);
  }

  @Override
  public Object invoke(String name, Object... args) {
    return invoke(dispIdOf(name), DISPATCH_METHOD, args);
  }

  @Override
  public Object get(String name, Object... args) {
    return invoke(dispIdOf(name), DISPATCH_PROPERTYGET, args);
  }

  @Override
  public void put(String name, Object value) {
    long dispId = dispIdOf(name);
    if (!_put(getPtr(), dispId, getLocale(), value)) {
      throw new DispatchException("Setting property " + name + " failed");
    }
  }

  @Override
  public long[] getIDsOfNames(String... names) {
    if (names == null) {
      throw new NullPointerException("names must not be null");
    }
    for (String name : names) {
      if (name == null) {
        throw new NullPointerException("A member or parameter name must not be null");
      }
    }
    return _getIDsOfNames(getPtr(), names, getLocale());
  }

  @Override
  public Object invoke(long dispId, int flags, Object... args) {
    return _invoke(getPtr(), dispId, getLocale(), flags, args == null ? NO_ARGS : args);
  }

  @Override
  public synchronized int getLocale() {
    return lcid;
  }

  @Override
  public synchronized IDispatch setLocale(int lcid) {
    if (this.lcid != lcid) {
      this.lcid = lcid;
      dispIds.clear();
    }
    return this;
  }

  private long dispIdOf(String name) {
    if (name == null) {
      throw new NullPointerException("A member name must not be null");
    }
    synchronized (this) {
      Long cached = dispIds.get(name);
      if (cached != null) {
        return cached;
      }
    }
    long[] ids = getIDsOfNames(name);
    if (ids == null || ids.length == 0) {
      throw new DispatchException("Unknown name: " + name);
    }
    synchronized (this) {
      dispIds.put(name, ids[0]);
    }
    return ids[0];
  }

  native long[] _getIDsOfNames(long p, String[] names, int lcid);

  native Object _invoke(long p, long dispId, int lcid, int flags, Object[] args);

  native boolean _put(long p, long dispId, int lcid, Object value);
}
