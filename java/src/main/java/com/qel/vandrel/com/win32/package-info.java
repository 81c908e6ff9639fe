/**
 * COM and OLE Automation from Java: create and bind COM objects, call them late-bound through
 * {@link com.qel.vandrel.com.win32.IDispatch}, pass values by reference in cells such as {@link
 * com.qel.vandrel.com.win32.RefInt}.
 *
 * <h2>Threads and apartments</h2>
 *
 * <p>A thread uses COM after {@link com.qel.vandrel.com.win32.ComService#initialize()} (or inside
 * {@link com.qel.vandrel.com.win32.ComService#enterApartment()}): it then lives in a COM
 * apartment, the set of threads among which the interface pointers it obtains may be used. Use a
 * wrapper on the thread that created it, inside that thread's apartment, and leave the apartment
 * ({@code uninitialize}, or closing the {@code Apartment}) on the same thread once its wrappers
 * are closed. Any thread may call {@code closeLater()} on a wrapper: the release is queued and
 * made by the next COM call of a COM thread.
 *
 * <h2>Ownership</h2>
 *
 * <p>Every {@link com.qel.vandrel.com.win32.IUnknown} or {@code IDispatch} wrapper holds one
 * reference on its interface and releases it once when closed ({@code try}-with-resources); an
 * interface returned by a call or a query is a new wrapper the caller closes. Values passed to a
 * call stay the caller's; a returned string or array is a copy. By-reference cells own native
 * memory and are closed like wrappers. A wrapper that is collected without having been closed is
 * released later through the same queue as {@code closeLater()}: this safety net prevents leaks but
 * gives no order, so close what you open.
 *
 * <h2>Java value to VARIANT</h2>
 *
 * <table border="1">
 *   <caption>The first row that holds decides</caption>
 *   <tr><th>Java value</th><th>VARIANT type</th></tr>
 *   <tr><td>null</td><td>VT_EMPTY</td></tr>
 *   <tr><td>any array</td><td>VT_ARRAY of the component's type (Object[] and nested arrays: VT_VARIANT)</td></tr>
 *   <tr><td>String</td><td>VT_BSTR</td></tr>
 *   <tr><td>IDispatch / IUnknown wrapper</td><td>VT_DISPATCH / VT_UNKNOWN (borrowed)</td></tr>
 *   <tr><td>Boolean, Integer, Byte, Short, Long, Double, Float</td>
 *       <td>VT_BOOL, VT_I4, VT_UI1, VT_I2, VT_I8, VT_R8, VT_R4</td></tr>
 *   <tr><td>RefString, RefInt, RefByte, RefShort, RefLong, RefDouble, RefFloat</td>
 *       <td>VT_BYREF with VT_BSTR, VT_I4, VT_UI1, VT_I2, VT_I8, VT_R8, VT_R4</td></tr>
 *   <tr><td>java.util.Date</td><td>VT_DATE (wall-clock time in the default time zone)</td></tr>
 *   <tr><td>Missing</td><td>VT_ERROR DISP_E_PARAMNOTFOUND (an omitted optional argument)</td></tr>
 *   <tr><td>anything else</td><td>refused: {@link com.qel.vandrel.com.win32.DispatchException}</td></tr>
 * </table>
 *
 * <h2>VARIANT to Java value</h2>
 *
 * <table border="1">
 *   <caption>Results of calls, event arguments, array elements, elements of an IEnumVARIANT</caption>
 *   <tr><th>VARIANT type</th><th>Java value</th></tr>
 *   <tr><td>VT_EMPTY, VT_NULL</td><td>null</td></tr>
 *   <tr><td>VT_I2, VT_I4, VT_INT</td><td>Short, Integer, Integer</td></tr>
 *   <tr><td>VT_I1, VT_UI1</td><td>Byte (VT_UI1 read as signed)</td></tr>
 *   <tr><td>VT_UI2, VT_UI4, VT_UINT, VT_I8</td><td>Long</td></tr>
 *   <tr><td>VT_R4, VT_R8</td><td>Float, Double</td></tr>
 *   <tr><td>VT_BOOL</td><td>Boolean (any non-zero value is true)</td></tr>
 *   <tr><td>VT_BSTR</td><td>String</td></tr>
 *   <tr><td>VT_DATE</td><td>java.util.Date</td></tr>
 *   <tr><td>VT_DISPATCH, VT_UNKNOWN</td><td>a new IDispatch / IUnknown wrapper, or null</td></tr>
 *   <tr><td>VT_ERROR</td><td>{@code ComService.internalGetErrorObject(scode)}</td></tr>
 *   <tr><td>VT_ARRAY (one or more dimensions)</td>
 *       <td>a Java array of the element type's Java type, nested for more dimensions</td></tr>
 *   <tr><td>VT_CY, VT_BYREF and any other type</td>
 *       <td>refused: {@link com.qel.vandrel.com.win32.DispatchVariant2JavaException}, carrying the
 *       VARIANT</td></tr>
 * </table>
 *
 * <h2>Loading</h2>
 *
 * <p>The jar carries its native libraries and loads the one for the running JVM by itself; see
 * {@link com.qel.vandrel.com.win32.impl.NativeLibrary} for the order and the settings.
 */
package com.qel.vandrel.com.win32;
