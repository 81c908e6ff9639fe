package com.qel.vandrel.com.win32.impl;

import com.qel.vandrel.com.win32.ComException;
import com.qel.vandrel.com.win32.ComService;
import com.qel.vandrel.com.win32.DispatchException;
import com.qel.vandrel.com.win32.IDispatch;
import com.qel.vandrel.com.win32.IEnumVARIANT;
import com.qel.vandrel.com.win32.IUnknown;
import java.util.Iterator;
import java.util.Map;
import java.util.NoSuchElementException;
import java.util.concurrent.ConcurrentHashMap;

/**
 * The wrapper of an {@code IDispatch} pointer; owns exactly one reference.
 *
 * <p>A call holds the wrapper and every wrapper and cell among its arguments (also inside arrays)
 * until it returns, so closing any of them on another thread meanwhile defers its release to the
 * end of the call (see {@link IUnknownImpl}).
 */
public class IDispatchImpl extends IUnknownImpl implements IDispatch {
  private static final Object[] NO_ARGS = {};
  private static final int DISP_E_TYPEMISMATCH = 0x80020005;
  private static final int E_NOINTERFACE = 0x80004002;

  // Read by every call by name without a lock; cleared by setLocale.
  private final Map<String, Long> dispIds = new ConcurrentHashMap<>();
  // Written under the wrapper's lock together with the name cache; read by every call without it.
  private volatile int lcid = LOCALE_USER_DEFAULT;

  /**
   * Wraps an {@code IDispatch} pointer and takes over the reference the caller holds (no {@code
   * AddRef}). Not public: applications hand pointers over through {@link #adopt(long)}.
   *
   * @throws IllegalArgumentException when ptr is 0
   */
  IDispatchImpl(long ptr) {
    super(ptr);
  }

  /**
   * Wraps an {@code IDispatch} pointer that the caller obtained outside this library and takes
   * over one reference to it: no {@code AddRef} is made, and the wrapper's {@link #close()} (or
   * the safety net) calls {@code Release} once.
   *
   * <p><b>Unsafe.</b> The library cannot check the value: it must be a live {@code IDispatch}
   * pointer (not merely any interface of the object) in the form {@link IUnknown#getPtr()} gives,
   * whose reference the caller owns and gives up here. Any other value crashes the process at the
   * first call, and handing the same reference over twice releases it twice.
   *
   * @param pointer the {@code IDispatch} interface pointer
   * @return a new automation wrapper owning that reference
   * @throws IllegalArgumentException when pointer is 0
   */
  public static IDispatch adopt(long pointer) {
    return new IDispatchImpl(pointer);
  }

  @Override
  public Object invoke(String name, Object... args) {
    long dispId = dispIdOf(name);
    try {
      return invoke(dispId, DISPATCH_METHOD, args);
    } catch (ComException e) {
      throw e.initMember(name);
    }
  }

  @Override
  public Object get(String name, Object... args) {
    long dispId = dispIdOf(name);
    try {
      return invoke(dispId, DISPATCH_PROPERTYGET, args);
    } catch (ComException e) {
      throw e.initMember(name);
    }
  }

  @Override
  public void put(String name, Object value) {
    long dispId = dispIdOf(name);
    try {
      put(dispId, name, value);
    } catch (ComException e) {
      throw e.initMember(name);
    }
  }

  @Override
  public void put(String name, Object index, Object indexOrValue, Object... more) {
    Object[] tail = more == null ? NO_ARGS : more;
    Object[] indexes = new Object[tail.length + 1];
    indexes[0] = index;
    Object value;
    if (tail.length == 0) {
      value = indexOrValue;
    } else {
      indexes[1] = indexOrValue;
      System.arraycopy(tail, 0, indexes, 2, tail.length - 1);
      value = tail[tail.length - 1];
    }
    long dispId = dispIdOf(name);
    try {
      long p = enterUse();
      try {
        Object[] all = new Object[] {indexes, value};
        NativeResource[] held = CallArguments.enter(all);
        try {
          _putIndexed(p, dispId, getLocale(), indexes, value);
        } finally {
          CallArguments.leave(held);
        }
      } finally {
        leaveUse();
      }
    } catch (ComException e) {
      throw e.initMember(name);
    }
  }

  /** The plain put by DISPID; name only for the message of a put that reports no exception. */
  private void put(long dispId, String name, Object value) {
    boolean done;
    long p = enterUse();
    try {
      NativeResource[] held = CallArguments.enter(value);
      try {
        done = _put(p, dispId, getLocale(), value);
      } finally {
        CallArguments.leave(held);
      }
    } finally {
      leaveUse();
    }
    if (!done) {
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
    long p = enterUse();
    try {
      return _getIDsOfNames(p, names, getLocale());
    } finally {
      leaveUse();
    }
  }

  @Override
  public Object invoke(long dispId, int flags, Object... args) {
    Object[] arguments = args == null ? NO_ARGS : args;
    long p = enterUse();
    try {
      NativeResource[] held = CallArguments.enter(arguments);
      try {
        return _invoke(p, dispId, getLocale(), flags, arguments);
      } finally {
        CallArguments.leave(held);
      }
    } finally {
      leaveUse();
    }
  }

  @Override
  public IEnumVARIANT newEnum() {
    Object result = invoke(DISPID_NEWENUM, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
    if (!(result instanceof IUnknown)) {
      ComService.internalReleaseIResources(result);
      String what = result == null ? "nothing" : "a " + result.getClass().getName();
      throw new DispatchException(
          "_NewEnum returned " + what + ", not an enumerator", DISP_E_TYPEMISMATCH);
    }
    IEnumVARIANT enumerator = null;
    try (IUnknown object = (IUnknown) result) {
      enumerator = IEnumVARIANTImpl.queryFrom(object);
    } catch (RuntimeException | Error e) {
      // Closing the _NewEnum object failed after the query succeeded.
      if (enumerator != null) {
        enumerator.close();
      }
      throw e;
    }
    if (enumerator == null) {
      throw new DispatchException(
          "the object _NewEnum returned gave no IEnumVARIANT", E_NOINTERFACE);
    }
    return enumerator;
  }

  @Override
  public Iterable<Object> elements() {
    return () -> new ClosingIterator(newEnum());
  }

  // Walks an enumerator once and closes it when the walk ends or fails.
  private static final class ClosingIterator implements Iterator<Object> {
    private final IEnumVARIANT enumerator;
    private final Iterator<Object> elements;
    private boolean open = true;

    ClosingIterator(IEnumVARIANT enumerator) {
      this.enumerator = enumerator;
      Iterator<Object> walk;
      try {
        walk = enumerator.iterator();
      } catch (RuntimeException | Error e) {
        enumerator.close();
        throw e;
      }
      this.elements = walk;
    }

    @Override
    public boolean hasNext() {
      if (!open) {
        return false;
      }
      boolean more = false;
      try {
        more = elements.hasNext();
      } finally {
        if (!more) {
          open = false;
          enumerator.close();
        }
      }
      return more;
    }

    @Override
    public Object next() {
      if (!hasNext()) {
        throw new NoSuchElementException("the enumeration has ended");
      }
      return elements.next();
    }
  }

  @Override
  public int getLocale() {
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
    Long cached = dispIds.get(name);
    if (cached != null) {
      return cached;
    }
    long[] ids = getIDsOfNames(name);
    if (ids == null || ids.length == 0) {
      // The code of the failed lookup (DISP_E_UNKNOWNNAME for a name the object lacks).
      throw new DispatchException("Unknown name: " + name, ComService.lastResult());
    }
    dispIds.put(name, ids[0]);
    return ids[0];
  }

  native long[] _getIDsOfNames(long p, String[] names, int lcid);

  native Object _invoke(long p, long dispId, int lcid, int flags, Object[] args);

  native boolean _put(long p, long dispId, int lcid, Object value);

  // The library's own: a property put with indexes before the value.
  native boolean _putIndexed(long p, long dispId, int lcid, Object[] indexes, Object value);
}
