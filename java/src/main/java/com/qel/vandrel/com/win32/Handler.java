package com.qel.vandrel.com.win32;

import com.qel.vandrel.com.win32.impl.IDispatchImpl;
import com.qel.vandrel.com.win32.impl.IUnknownImpl;
import com.qel.vandrel.com.win32.impl.NativeLibrary;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.util.Arrays;
import java.util.HashMap;
import java.util.Locale;
import java.util.Map;

/**
 * An event sink: a native COM object of the library's own ({@code IDispatch}) that an event
 * source's connection point calls, and that forwards every event to {@link
 * #defaultHandler(int, Object[])} of this Java object.
 *
 * <p>Use it through a listener, through methods marked with {@link DispId}, or by overriding
 * {@link #defaultHandler(int, Object[])}:
 *
 * <pre>{@code
 * try (Handler sink = Handler.listening((dispId, args) -> {
 *       System.out.println("event " + dispId + " " + Arrays.toString(args));
 *       return null;
 *     });
 *     Handler.Connection connection = sink.connect(source, EVENTS_IID)) {
 *   source.invoke("Fire");
 * }
 * }</pre>
 *
 * <p><b>Threads.</b> Events arrive on the thread that the source calls the sink on. For a source
 * in a single-threaded apartment (the apartment {@link ComService#initialize()} enters) that is
 * the thread that connected the sink, and an event usually arrives while that thread is inside a
 * call into the source. A handler may call back into COM from the event, the source included. An
 * exception that a handler throws is not reported to the source (it gets an empty result); it
 * propagates to the Java code whose call made the source fire the event. The library never
 * attaches a thread to the virtual machine: a source that fires from a native thread that Java
 * does not know gets {@code RPC_E_WRONG_THREAD} ({@code 0x8001010E}) and Java is not called.
 *
 * <p><b>Lifetime.</b> A sink holds at most one connection at a time; it can connect again after
 * the connection has been closed, to the same or another source. {@link #close()} disconnects and
 * ends the native object; a sink that is never closed stays alive with its native object until
 * the process ends.
 */
public class Handler implements AutoCloseable {
  static { NativeLibrary.load(); }

  private static final int[] NO_IDS = {};

  private long handle;
  private boolean bound;
  private Connection connection;
  private Map<String, Integer> names = new HashMap<>();

  /**
   * Creates the native sink object.
   *
   * @throws IllegalStateException when COM has not been initialised by {@link
   *     ComService#initialize()} in this process
   */
  public Handler() { handle = _createHandler(); }

  /**
   * A sink that hands every event to a listener.
   *
   * @param listener receives the DISPID and the arguments and returns the result
   * @return a new sink, not yet connected
   * @throws NullPointerException when listener is null
   */
  public static Handler listening(EventListener listener) {
    if (listener == null) {
      throw new NullPointerException("listener must not be null");
    }
    return new Handler() {
      @Override
      public Object defaultHandler(int dispId, Object[] args) {
        return listener.onEvent(dispId, args);
      }
    };
  }

  /**
   * A sink that calls the public methods of target marked with {@link DispId}: an event goes to
   * the method with its DISPID, events without one are ignored (result null). A source that asks
   * for DISPIDs by name learns those of the marked methods.
   *
   * @param target the object whose marked methods receive the events
   * @return a new sink, not yet connected
   * @throws NullPointerException when target is null
   * @throws IllegalArgumentException when two methods carry the same DISPID
   */
  public static Handler dispatchingTo(Object target) {
    if (target == null) {
      throw new NullPointerException("target must not be null");
    }
    Map<Integer, Method> methods = new HashMap<>();
    Map<String, Integer> ids = new HashMap<>();
    for (Method method : target.getClass().getMethods()) {
      DispId id = method.getAnnotation(DispId.class);
      if (id == null) {
        continue;
      }
      if (methods.put(id.value(), method) != null) {
        throw new IllegalArgumentException("two methods receive DISPID " + id.value());
      }
      try {
        // A public method of a class that is not public needs this to be called.
        method.setAccessible(true);
      } catch (RuntimeException e) {
        // Not permitted here: the call itself reports the missing access.
      }
      ids.put(id.name().isEmpty() ? method.getName() : id.name(), id.value());
    }
    Handler sink = new Handler() {
      @Override
      public Object defaultHandler(int dispId, Object[] args) {
        Method method = methods.get(dispId);
        return method == null ? null : call(target, method, args);
      }
    };
    sink.answerNames(ids);
    return sink;
  }

  private static Object call(Object target, Method method, Object[] args) {
    Class<?>[] parameters = method.getParameterTypes();
    Object[] actual;
    if (parameters.length == 1 && parameters[0] == Object[].class) {
      actual = new Object[] {args};
    } else if (parameters.length == args.length) {
      actual = args;
    } else {
      throw new IllegalArgumentException(method.getName() + " takes " + parameters.length
          + " arguments, the event has " + args.length);
    }
    try {
      return method.invoke(target, actual);
    } catch (InvocationTargetException e) {
      Throwable cause = e.getCause();
      if (cause instanceof RuntimeException) {
        throw(RuntimeException) cause;
      }
      if (cause instanceof Error) {
        throw(Error) cause;
      }
      throw new IllegalStateException("event method " + method.getName() + " failed", cause);
    } catch (IllegalAccessException e) {
      throw new IllegalStateException("event method " + method.getName() + " is not accessible", e);
    }
  }

  /**
   * Sets the DISPIDs that {@link #getIDsOfNames(String[])} answers with. Names match without
   * regard to case.
   *
   * @param ids the DISPID of each name
   * @return this sink
   */
  public synchronized Handler answerNames(Map<String, Integer> ids) {
    Map<String, Integer> copy = new HashMap<>();
    for (Map.Entry<String, Integer> entry : ids.entrySet()) {
      copy.put(entry.getKey().toLowerCase(Locale.ROOT), entry.getValue());
    }
    names = copy;
    return this;
  }

  /**
   * Receives every event the source fires. The default does nothing and returns null; override
   * it, or use {@link #listening(EventListener)} or {@link #dispatchingTo(Object)}.
   *
   * @param dispId the DISPID of the event
   * @param args the arguments in the caller's order, an empty array when there are none;
   *     interface arguments are wrappers that own a reference of their own (close them when done)
   * @return the result for a source that asks for one, converted as a call argument is; null
   *     gives an empty value
   */
  public Object defaultHandler(int dispId, Object[] args) { return null; }

  /**
   * Answers a source that asks the sink for DISPIDs by name: one DISPID per name, -1 for a name
   * it does not know. The default answers from {@link #answerNames(Map)}.
   *
   * @param names the names the source asks for (an element may be null)
   * @return one DISPID per name; null, or an array of another length, tells the source that the
   *     names are unknown
   */
  public int[] getIDsOfNames(String[] names) {
    if (names.length == 0) {
      return NO_IDS;
    }
    Map<String, Integer> known;
    synchronized (this) {
      known = this.names;
    }
    int[] ids = new int[names.length];
    Arrays.fill(ids, -1);
    for (int i = 0; i < names.length; i++) {
      Integer id = names[i] == null ? null : known.get(names[i].toLowerCase(Locale.ROOT));
      if (id != null) {
        ids[i] = id;
      }
    }
    return ids;
  }

  /**
   * Wraps an {@code IDispatch} pointer of an event argument, taking over the reference the caller
   * holds (no {@code AddRef}). The native library calls this for the interface arguments of
   * events.
   *
   * @param ptr the interface pointer
   * @return a new wrapper owning that reference, or null when ptr is 0
   */
  public IDispatch newIDispatch(long ptr) { return ptr == 0 ? null : IDispatchImpl.adopt(ptr); }

  /**
   * Wraps an {@code IUnknown} pointer of an event argument, taking over the reference the caller
   * holds (no {@code AddRef}). The native library calls this for the interface arguments of
   * events.
   *
   * @param ptr the interface pointer
   * @return a new wrapper owning that reference, or null when ptr is 0
   */
  public IUnknown newIUnknown(long ptr) { return ptr == 0 ? null : IUnknownImpl.adopt(ptr); }

  /**
   * Connects the sink to the connection point of source for the outgoing interface eventIid. The
   * source's events reach this sink until the returned connection is closed.
   *
   * @param source the event source, which must offer {@code IConnectionPointContainer}
   * @param eventIid the IID of the source's outgoing (event) interface
   * @return the connection; closing it disconnects
   * @throws IllegalStateException when the sink is closed or already connected
   * @throws DispatchException when the source has no connection points or none for eventIid,
   *     or refuses the connection
   */
  public synchronized Connection connect(IUnknown source, Guid eventIid) {
    if (handle == 0) {
      throw new IllegalStateException("the sink is closed");
    }
    if (connection != null) {
      throw new IllegalStateException("the sink is already connected; close its connection first");
    }
    if (!bound) {
      _setObject(handle);
      bound = true;
    }
    _connect(handle, source.getPtr(), eventIid.getHigh(), eventIid.getLow());
    connection = new Connection();
    return connection;
  }

  /**
   * Tells whether the sink is connected to a source.
   *
   * @return true while a connection is open
   */
  public synchronized boolean isConnected() { return connection != null; }

  /**
   * The native object's address, for the tests of the package.
   *
   * @return the address, 0 once closed
   */
  synchronized long nativeHandle() { return handle; }

  private synchronized void disconnect(Connection which) {
    if (connection != which || handle == 0) {
      return;
    }
    connection = null;
    _disconnect(handle);
  }

  /**
   * Disconnects the sink, if connected, and ends its native object; calling it again does nothing.
   */
  @Override
  public synchronized void close() {
    if (handle == 0) {
      return;
    }
    if (connection != null) {
      disconnect(connection);
    }
    long h = handle;
    handle = 0;
    // The Java side's hold ends with two Releases from a count of 0.
    _release(h);
    _release(h);
  }

  /** An open connection of a sink to a source; closing it disconnects the sink. */
  public final class Connection implements AutoCloseable {
    private Connection() {}

    /**
     * Tells whether this connection is still open.
     *
     * @return true until it is closed (or the sink is closed)
     */
    public boolean isOpen() {
      synchronized (Handler.this) {
        return connection == this;
      }
    }

    /** Disconnects the sink from the source; calling it again does nothing. */
    @Override
    public void close() {
      disconnect(this);
    }
  }

  static native long _createHandler();

  native void _setObject(long handler);

  native void _connect(long handler, long source, long iidHigh, long iidLow);

  native void _disconnect(long handler);

  native int _release(long handler);

  static native int _liveHandlers();
}
