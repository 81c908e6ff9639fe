package com.qel.vandrel.com.win32;

/**
 * A COM object reached through its {@code IUnknown} interface.
 *
 * <p>Every wrapper owns exactly one COM reference. {@link #close()} gives it back; afterwards
 * {@link #getPtr()} throws {@link IllegalStateException} and further {@code close()} calls do
 * nothing. A wrapper that is never closed is released later, on a COM thread, once it has become
 * unreachable; closing explicitly (try-with-resources) releases it at a known time.
 *
 * <p>Wrappers may be shared between threads within COM's rules. A call holds its wrapper (and the
 * wrappers and cells among its arguments) until it returns: {@code close()} on another thread
 * meanwhile marks the wrapper closed at once and releases the reference when the last call in
 * progress returns. Calls that start after the close throw {@link IllegalStateException}.
 *
 * <p>Wrappers are made by this library. A host application that obtained an interface pointer
 * elsewhere hands it over with {@link com.qel.vandrel.com.win32.impl.IUnknownImpl#adopt(long)} or
 * {@link com.qel.vandrel.com.win32.impl.IDispatchImpl#adopt(long)}, which take over one reference.
 *
 * <pre>{@code
 * try (IUnknown object = ComService.coCreateInstance(clsid);
 *     IDispatch automation = object.queryDispatch()) {
 *   automation.invoke("Refresh");
 * }
 * }</pre>
 */
public interface IUnknown extends IResource, AutoCloseable {
  /** The interface identifier of {@code IUnknown}. */
  Guid IID = Guid.parse("{00000000-0000-0000-C000-000000000046}");

  /**
   * Wraps an interface pointer, taking over the reference the caller holds (no {@code AddRef}).
   * The native library calls this for the pointers it hands to Java.
   *
   * <p><b>Unsafe</b> for any other caller: the value is not checked, and anything but a live
   * interface pointer whose reference the caller gives up crashes the process at the first call.
   *
   * @param ptr the interface pointer
   * @return a new wrapper owning that reference, or null when ptr is 0
   */
  IUnknown newIUnknown(long ptr);

  /**
   * Calls {@code AddRef} on the object. The extra reference is not owned by this wrapper; balance
   * it with {@link #release()}.
   *
   * @return the new reference count as reported by the object (informational only)
   */
  int addRef();

  /**
   * Calls {@code Release} on the object without closing this wrapper; pairs with {@link
   * #addRef()}.
   *
   * @return the new reference count as reported by the object (informational only)
   */
  int release();

  /**
   * Asks the object for another interface.
   *
   * @param iid the interface identifier
   * @return a new wrapper owning the returned interface pointer
   * @throws DispatchException when the object refuses, for instance with {@code E_NOINTERFACE}
   *     ({@code 0x80004002}) when it does not implement the interface
   */
  IUnknown queryInterface(Guid iid);

  /**
   * Asks the object for another interface given as the two halves of a {@link Guid}.
   *
   * @see Guid#getHigh()
   * @see Guid#getLow()
   * @param iidHigh the iid high
   * @param iidLow the iid low
   * @return asks the object for another interface given as the two halves of a {@code Guid}
   */
  IUnknown queryInterface(long iidHigh, long iidLow);

  /**
   * Asks the object for {@code IDispatch}.
   *
   * @return a new automation wrapper
   * @throws DispatchException when the object does not implement {@code IDispatch}
   */
  IDispatch queryDispatch();

  /**
   * Hands the interface pointer and the reference it carries over to the caller; the wrapper is
   * closed afterwards without releasing anything.
   *
   * @return the interface pointer
   * @throws IllegalStateException when the wrapper is already closed or detached
   */
  long detach();

  /**
   * Tells whether the wrapper has been closed or detached.
   *
   * @return whether the wrapper has been closed or detached
   */
  boolean isClosed();

  /** Releases the reference this wrapper owns; calling it again does nothing. */
  @Override
  void close();

  /**
   * Closes the wrapper without calling the object now: its reference goes on the library's
   * release queue, which the next native call of this library that calls COM empties, on
   * whichever thread with COM initialised makes it ({@link ComService#uninitialize()} empties it
   * too). For threads that must not call COM themselves, such as a thread that never initialised
   * it. While calls on other threads use the wrapper, the reference is queued when the last of them
   * returns. Calling it on a closed wrapper does nothing.
   */
  void closeLater();
}
