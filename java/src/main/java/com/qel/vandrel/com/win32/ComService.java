package com.qel.vandrel.com.win32;

import com.qel.vandrel.com.win32.impl.IUnknownImpl;
import com.qel.vandrel.com.win32.impl.NativeLibrary;
import java.util.IdentityHashMap;
import java.util.Map;

/**
 * Entry point: COM initialisation of the calling thread, object creation and lookup.
 *
 * <p>A thread initialises COM before its first COM call and uninitialises it when done, the pair
 * usually written as
 *
 * <pre>{@code
 * try (ComService.Apartment apartment = ComService.enterApartment()) {
 *   try (IDispatch counter = ComService.createDispatch("{...}")) {
 *     counter.invoke("Increment");
 *   }
 * }
 * }</pre>
 *
 * <p>The lookup methods return null when there is no such object; {@code null} texts are refused
 * with {@link NullPointerException} before anything reaches COM.
 */
public final class ComService {
  static {
    NativeLibrary.load();
  }

  /** {@code messageBox} style: an OK button. */
  public static final int MB_OK = 0x0;
  /** {@code messageBox} style: OK and Cancel buttons. */
  public static final int MB_OKCANCEL = 0x1;
  /** {@code messageBox} style: Yes and No buttons. */
  public static final int MB_YESNO = 0x4;
  /** {@code messageBox} style: an error icon. */
  public static final int MB_ICONERROR = 0x10;
  /** {@code messageBox} style: a warning icon. */
  public static final int MB_ICONWARNING = 0x30;
  /** {@code messageBox} style: an information icon. */
  public static final int MB_ICONINFORMATION = 0x40;
  /** {@code messageBox} answer: OK. */
  public static final int IDOK = 1;
  /** {@code messageBox} answer: Cancel. */
  public static final int IDCANCEL = 2;
  /** {@code messageBox} answer: Yes. */
  public static final int IDYES = 6;
  /** {@code messageBox} answer: No. */
  public static final int IDNO = 7;

  /** The {@code SCODE} of an omitted optional argument, mapped to {@link Missing#VALUE}. */
  static final int DISP_E_PARAMNOTFOUND = 0x80020004;

  /** The {@code HRESULT} of a COM call on a thread that has not initialised COM. */
  static final int CO_E_NOTINITIALIZED = 0x800401F0;

  private ComService() {}

  /**
   * COM use of the calling thread, ended by {@link #close()} on the same thread. Obtained from
   * {@link ComService#enterApartment()}.
   */
  public static final class Apartment implements AutoCloseable {
    private final Thread owner = Thread.currentThread();
    private boolean closed;

    private Apartment() {}

    /**
     * Uninitialises COM on the thread that entered the apartment; later calls do nothing.
     *
     * @throws IllegalStateException when called from another thread
     */
    @Override
    public void close() {
      if (Thread.currentThread() != owner) {
        throw new IllegalStateException(
            "An apartment is left on the thread that entered it (" + owner.getName() + ")");
      }
      if (!closed) {
        closed = true;
        uninitialize();
      }
    }

    /** Names the owning thread and whether the apartment has been left. */
    @Override
    public String toString() {
      return "Apartment(" + owner.getName() + (closed ? ", left)" : ")");
    }
  }

  /** Initialises COM on the calling thread; balance every call with {@link #uninitialize()}. */
  public static void initialize() {
    _initialize();
  }

  /** Uninitialises COM on the calling thread. */
  public static void uninitialize() {
    _uninitialize();
  }

  /**
   * Initialises COM on the calling thread and returns the guard that uninitialises it.
   *
   * @return initialises COM on the calling thread and returns the guard that uninitialises it
   */
  public static Apartment enterApartment() {
    initialize();
    return new Apartment();
  }

  /**
   * Creates an object of a class.
   *
   * @param clsid the class identifier, {@code "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"}, or a
   *     ProgID registered for the class, such as {@code "Vendor.Component.1"} or its
   *     version-independent {@code "Vendor.Component"} (matched ignoring case)
   * @param clsctx where the server may run, one or more {@link ClsCtx} flags
   * @return the new object, or null when it could not be created
   */
  public static IUnknown coCreateInstance(String clsid, int clsctx) {
    requireText(clsid, "clsid");
    return wrap(_coCreateInstance(clsid, clsctx));
  }

  /**
   * Creates an object of a class with any server ({@link ClsCtx#ALL}); null when that fails.
   *
   * @param clsid the clsid
   * @return creates an object of a class with any server ({@code ClsCtx#ALL})
   */
  public static IUnknown coCreateInstance(String clsid) {
    return coCreateInstance(clsid, ClsCtx.ALL);
  }

  /**
   * Creates an object and asks it for {@code IDispatch}.
   *
   * @param clsid the class identifier or a ProgID, as {@link #coCreateInstance(String, int)} takes
   *     them
   * @return the automation object, or null when it could not be created
   * @throws DispatchException when the object is no automation object
   */
  public static IDispatch createDispatch(String clsid) {
    try (IUnknown object = coCreateInstance(clsid)) {
      return object == null ? null : object.queryDispatch();
    }
  }

  /**
   * Binds to the object a display name names, for instance {@code "new:{clsid}"} or {@code
   * "new:Vendor.Component"}.
   *
   * @return the object, or null when the name does not lead to one
   * @param displayName the display name
   */
  public static IUnknown coGetObject(String displayName) {
    requireText(displayName, "displayName");
    return wrap(_coGetObject(displayName));
  }

  /**
   * Finds the running object registered for a class.
   *
   * @param clsid the class identifier or a ProgID, as {@link #coCreateInstance(String, int)} takes
   *     them
   * @return the object, or null when none is registered
   */
  public static IUnknown getActiveObject(String clsid) {
    requireText(clsid, "clsid");
    return wrap(_getActiveObject(clsid));
  }

  /**
   * Creates an object of a class, or says why it could not.
   *
   * @param clsid the class identifier or a ProgID, as {@link #coCreateInstance(String, int)} takes
   *     them
   * @param clsctx where the server may run, one or more {@link ClsCtx} flags
   * @return the new object, never null
   * @throws ComException naming the class, the {@code HRESULT} ({@link ComException#getHResult()})
   *     and whether COM is initialised on the calling thread; for instance {@code
   *     REGDB_E_CLASSNOTREG} for a class that is not registered, {@code CO_E_CLASSSTRING} for a
   *     ProgID that is not, {@code CO_E_NOTINITIALIZED} on a thread without COM
   * @throws NullPointerException when clsid is null
   */
  public static IUnknown createInstance(String clsid, int clsctx) {
    IUnknown object = coCreateInstance(clsid, clsctx);
    if (object == null) {
      throw creationFailure(
          "CoCreateInstance", "\"" + clsid + "\" (CLSCTX 0x" + Integer.toHexString(clsctx) + ")");
    }
    return object;
  }

  /**
   * Creates an object of a class with any server ({@link ClsCtx#ALL}), or says why it could not.
   *
   * @param clsid the class identifier or a ProgID
   * @return the new object, never null
   * @throws ComException as {@link #createInstance(String, int)} throws it
   * @throws NullPointerException when clsid is null
   */
  public static IUnknown createInstance(String clsid) {
    return createInstance(clsid, ClsCtx.ALL);
  }

  /**
   * Creates an automation object, or says why it could not.
   *
   * @param clsid the class identifier or a ProgID
   * @return the automation object, never null
   * @throws ComException as {@link #createInstance(String, int)} throws it
   * @throws DispatchException when the object is no automation object ({@code E_NOINTERFACE})
   * @throws NullPointerException when clsid is null
   */
  public static IDispatch newDispatch(String clsid) {
    try (IUnknown object = createInstance(clsid)) {
      return object.queryDispatch();
    }
  }

  /**
   * Binds to the object a display name names, or says why it could not.
   *
   * @param displayName for instance {@code "new:{clsid}"} or {@code "new:Vendor.Component"}
   * @return the object, never null
   * @throws ComException naming the display name, the {@code HRESULT} and whether COM is
   *     initialised on the calling thread (for instance {@code MK_E_SYNTAX} for a name no moniker
   *     parses)
   * @throws NullPointerException when displayName is null
   */
  public static IUnknown bindObject(String displayName) {
    IUnknown object = coGetObject(displayName);
    if (object == null) {
      throw creationFailure("CoGetObject", "\"" + displayName + "\"");
    }
    return object;
  }

  /**
   * Finds the running object registered for a class, or says why there is none.
   *
   * @param clsid the class identifier or a ProgID
   * @return the object, never null
   * @throws ComException naming the class, the {@code HRESULT} and whether COM is initialised on
   *     the calling thread ({@code MK_E_UNAVAILABLE} when no object of the class is running)
   * @throws NullPointerException when clsid is null
   */
  public static IUnknown activeObject(String clsid) {
    IUnknown object = getActiveObject(clsid);
    if (object == null) {
      throw creationFailure("GetActiveObject", "\"" + clsid + "\"");
    }
    return object;
  }

  /**
   * Returns the {@code HRESULT} of the calling thread's last object creation or lookup ({@link
   * #coCreateInstance(String, int)}, {@link #coGetObject(String)}, {@link
   * #getActiveObject(String)}) or member name lookup ({@link IDispatch#getIDsOfNames(String...)}):
   * the code behind a null result. For a class identifier text that names no class it is the code
   * of that parse ({@code CO_E_CLASSSTRING}).
   *
   * @return the code, 0 ({@code S_OK}) before the thread's first such call
   */
  public static int lastResult() {
    return _lastResult();
  }

  private static ComException creationFailure(String call, String what) {
    int hr = lastResult();
    String apartment =
        hr == CO_E_NOTINITIALIZED
            ? "COM is not initialised on this thread"
            : "COM is initialised on this thread";
    return new ComException(
        call + " of " + what + " failed: " + HResults.describe(hr) + "; " + apartment + ".", hr);
  }

  /**
   * Shows a message box and waits for the answer.
   *
   * @param style {@code MB_*} buttons and icon
   * @return the answer, one of the {@code ID*} constants, or 0 when no box could be shown
   * @param text the text
   * @param caption the caption
   */
  public static int messageBox(String text, String caption, int style) {
    requireText(text, "text");
    requireText(caption, "caption");
    return _messageBox(text, caption, style);
  }

  private static void requireText(String value, String name) {
    if (value == null) {
      throw new NullPointerException(name + " must not be null");
    }
  }

  private static IUnknown wrap(long ptr) {
    return ptr == 0 ? null : IUnknownImpl.adopt(ptr);
  }

  /**
   * Closes every {@link IUnknown} wrapper in {@code resources}, which may be a wrapper, an array
   * (nested {@code Object} arrays are walked) or anything else (ignored). Null does nothing. The
   * native library calls this for the temporary wrappers of a call's arguments.
   *
   * <p>A wrapper whose {@code close()} throws (its object's {@code Release} faulted) does not stop
   * the walk: every other wrapper is still closed, and the first exception is thrown at the end,
   * with the later ones suppressed in it.
   * @param resources the resources
   */
  public static void internalReleaseIResources(Object resources) {
    RuntimeException failure = releaseAll(resources, new IdentityHashMap<Object, Boolean>(), null);
    if (failure != null) {
      throw failure;
    }
  }

  /** Closes what resources holds; returns failure, or the first exception a close threw. */
  private static RuntimeException releaseAll(
      Object resources, Map<Object, Boolean> seen, RuntimeException failure) {
    if (resources instanceof IUnknown) {
      try {
        ((IUnknown) resources).close();
      } catch (RuntimeException e) {
        if (failure == null) {
          return e;
        }
        failure.addSuppressed(e);
      }
    } else if (resources instanceof Object[] && seen.put(resources, Boolean.TRUE) == null) {
      for (Object element : (Object[]) resources) {
        failure = releaseAll(element, seen, failure);
      }
    }
    return failure;
  }

  /**
   * Returns the Java value of a {@code VT_ERROR} variant: {@link Missing#VALUE} for {@code
   * DISP_E_PARAMNOTFOUND} ({@code 0x80020004}), a {@link ComError} with the code otherwise. Called
   * by the native library.
   * @param scode the scode
   * @return the Java value of a {@code VT_ERROR} variant
   */
  public static Object internalGetErrorObject(int scode) {
    return scode == DISP_E_PARAMNOTFOUND ? Missing.VALUE : new ComError(scode);
  }

  static native void _initialize();

  static native void _uninitialize();

  static native long _coCreateInstance(String clsid, int clsctx);

  static native long _coGetObject(String displayName);

  static native long _getActiveObject(String clsid);

  static native void _releaseVariant(long variantHandle);

  // Queues the variant for the native release queue, to be released by the next native call that
  // calls COM; callable from any thread (the safety net of DispatchVariant2JavaException).
  static native void _releaseVariantLater(long variantHandle);

  // The library's own: the VARTYPE of a variant block the library made, -1 for 0.
  static native int _variantType(long variantHandle);

  // The library's own: the HRESULT behind the thread's last null creation or name lookup.
  static native int _lastResult();

  static native int _messageBox(String text, String caption, int style);
}
