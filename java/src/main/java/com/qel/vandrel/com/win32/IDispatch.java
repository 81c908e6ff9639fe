package com.qel.vandrel.com.win32;

/**
 * A COM automation object, called late-bound by member name or DISPID.
 *
 * <p>Arguments are converted to VARIANTs by the native library: {@code null} becomes an empty
 * value, {@link Missing#VALUE} an omitted optional argument, {@link IResource} instances (the
 * {@code Ref*} cells) by-reference arguments, arrays SAFEARRAYs. A {@code null} element of a typed
 * reference array ({@code String[]}, {@code Integer[]}, {@code IDispatch[]} ...) is passed as the
 * element type's empty value: a null string, 0, a null interface pointer.
 *
 * <p>Dates ({@link java.util.Date} and its subclasses, both ways) travel as OLE dates, which hold
 * a wall-clock time without a zone: a date goes to COM as its wall-clock time in the default time
 * zone as it was when {@link ComService#initialize()} last ran (on any thread), counted in the
 * Gregorian calendar whatever the default locale (also before 1582), and an OLE date comes back as
 * the instant of its wall-clock time in that zone. OLE dates run from 1 January 100 to 31 December
 * 9999; a date outside that range, every date before the Christian era included, is refused with
 * a {@link DispatchException}. A wall-clock time that occurs twice, in the hour repeated when
 * daylight saving time ends, comes back as the <em>later</em> of its two instants (standard time):
 * both instants go to COM as the same OLE date. A wall-clock time that never occurs, in the hour
 * skipped when daylight saving time begins, comes back one daylight-saving shift later.
 *
 * <p>Member names are resolved once per wrapper and cached. Calls use the wrapper's locale, {@link
 * #LOCALE_USER_DEFAULT} unless {@linkplain #setLocale(int) changed}.
 */
public interface IDispatch extends IUnknown {
  /** The interface identifier of {@code IDispatch}. */
  Guid IID = Guid.parse("{00020400-0000-0000-C000-000000000046}");

  /** Invoke flag: call a method. */
  int DISPATCH_METHOD = 1;
  /** Invoke flag: read a property. */
  int DISPATCH_PROPERTYGET = 2;
  /** Invoke flag: assign a property by value. */
  int DISPATCH_PROPERTYPUT = 4;
  /** Invoke flag: assign a property by reference. */
  int DISPATCH_PROPERTYPUTREF = 8;

  /** The user's default locale. */
  int LOCALE_USER_DEFAULT = 0x400;
  /** The system's default locale. */
  int LOCALE_SYSTEM_DEFAULT = 0x800;

  /** DISPID of an object's default member. */
  long DISPID_VALUE = 0;
  /** DISPID of the member returning an enumerator. */
  long DISPID_NEWENUM = -4;

  /**
   * Wraps an {@code IDispatch} pointer, taking over the reference the caller holds (no {@code
   * AddRef}). The native library calls this for the pointers it hands to Java.
   *
   * <p><b>Unsafe</b> for any other caller: the value is not checked, and anything but a live
   * {@code IDispatch} pointer whose reference the caller gives up crashes the process at the first
   * call.
   *
   * @param ptr the interface pointer
   * @return a new wrapper owning that reference, or null when ptr is 0
   */
  IDispatch newIDispatch(long ptr);

  /**
   * Calls a method.
   *
   * @param name member name
   * @param args arguments, first argument first
   * @return the result converted to Java, null for an empty result
   * @throws NullPointerException when name is null
   * @throws DispatchException when the object does not know the name or the call fails
   */
  Object invoke(String name, Object... args);

  /**
   * Reads a property, optionally indexed.
   *
   * @param name property name
   * @param args index arguments, if any
   * @return the value converted to Java
   * @throws NullPointerException when name is null
   * @throws DispatchException when the object does not know the name or the call fails
   */
  Object get(String name, Object... args);

  /**
   * Assigns a property.
   *
   * @param name property name
   * @param value the new value
   * @throws NullPointerException when name is null
   * @throws DispatchException when the object does not know the name or the call fails
   */
  void put(String name, Object value);

  /**
   * Assigns an indexed property, such as {@code Item(2) = "x"} written {@code put("Item", 2,
   * "x")}: the last argument is the value, the ones before it the indexes, first index first.
   *
   * @param name property name
   * @param index the first index
   * @param indexOrValue the value when there is one index, otherwise the second index
   * @param more the remaining indexes and, last, the value
   * @throws NullPointerException when name is null
   * @throws DispatchException when the object does not know the name or the put fails
   */
  void put(String name, Object index, Object indexOrValue, Object... more);

  /**
   * Resolves member names (and, after the first, parameter names of that member).
   *
   * @param names member name, then optional parameter names
   * @return one DISPID per name, or null when the object does not know a name
   * @throws NullPointerException when names or one of its elements is null
   */
  long[] getIDsOfNames(String... names);

  /**
   * Calls a member by DISPID.
   *
   * @param dispId the member's DISPID
   * @param flags one or more of the {@code DISPATCH_*} flags
   * @param args arguments, first argument first
   * @return the result converted to Java, null for an empty result
   * @throws DispatchException when the call fails
   */
  Object invoke(long dispId, int flags, Object... args);

  /**
   * Asks an automation collection for its enumerator: calls the member {@link #DISPID_NEWENUM}
   * ({@code _NewEnum}, as a method or a property get) and asks the object it returns for {@code
   * IEnumVARIANT}. That object's wrapper is closed again; the enumerator has a reference of its
   * own.
   *
   * @return a new enumerator wrapper owning its reference
   * @throws DispatchException when the call fails, when it returns no object ({@code
   *     DISP_E_TYPEMISMATCH}, and a wrapper among what it returned is closed) and when the object
   *     is no {@code IEnumVARIANT} ({@code E_NOINTERFACE})
   */
  IEnumVARIANT newEnum();

  /**
   * The elements of an automation collection, for a for-each loop. Each loop asks for a new
   * enumerator ({@link #newEnum()}) and closes it once the last element is fetched or fetching
   * fails; an enumerator whose loop ends early (a {@code break}, an exception of the loop's body)
   * is left to the safety net. The elements are converted as by {@link IEnumVARIANT#next(int)}:
   * interface elements are wrappers the caller closes.
   *
   * <pre>{@code
   * for (Object item : collection.elements()) {
   *   ...
   * }
   * }</pre>
   *
   * @return an Iterable whose iterator() throws what {@link #newEnum()} throws
   */
  Iterable<Object> elements();

  /**
   * Returns the locale identifier used for name lookup and calls.
   *
   * @return the locale identifier used for name lookup and calls
   */
  int getLocale();

  /**
   * Changes the locale identifier used for name lookup and calls; cached DISPIDs are dropped.
   *
   * @return this wrapper
   * @param lcid the lcid
   */
  IDispatch setLocale(int lcid);
}
