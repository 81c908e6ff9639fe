package com.qel.vandrel.com.win32;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertInstanceOf;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.qel.vandrel.testserver.TestServer;
import java.util.Arrays;
import java.util.Calendar;
import java.util.Date;
import java.util.GregorianCalendar;
import java.util.TimeZone;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;
import org.junit.jupiter.params.provider.ValueSource;

/** Results of automation calls as Java values: scalars, strings, arrays, dates, interfaces. */
class AutomationResultTest extends AutomationFixture {
  private static void assertDeepEquals(Object expected, Object actual) {
    Object[] e = {expected};
    Object[] a = {actual};
    assertTrue(Arrays.deepEquals(e, a),
        () -> "expected " + Arrays.deepToString(e) + " but was " + Arrays.deepToString(a));
  }

  static Stream<Arguments> scalarResults() {
    return Stream.of(Arguments.of(VT_EMPTY, null), Arguments.of(VT_NULL, null),
        Arguments.of(VT_I2, (short) -1234), Arguments.of(VT_I4, -123456789),
        Arguments.of(VT_R4, 1.5f), Arguments.of(VT_R8, -2.25), Arguments.of(VT_BSTR, "sample"),
        Arguments.of(VT_ERROR, new ComError(0x80004005)), Arguments.of(VT_BOOL, true),
        Arguments.of(VT_I1, (byte) -12),
        Arguments.of(VT_UI1, (byte) -56), // 200 read as a signed byte
        Arguments.of(VT_UI2, 60000L), Arguments.of(VT_UI4, 4000000000L),
        Arguments.of(VT_I8, -1234567890123L), Arguments.of(VT_INT, -42),
        Arguments.of(VT_UINT, 3000000000L));
  }

  @ParameterizedTest(name = "vt {0} -> {1}")
  @MethodSource("scalarResults")
  void scalarResultsBecomeBoxedValuesOfTheMatchingClass(int vt, Object expected) {
    Object result = automation.invoke("ReturnType", vt);
    assertEquals(expected, result); // equals() of the boxes also compares their classes
  }

  // The member, its arguments, the library's message and the refused variant's type by name.
  static Stream<Arguments> refusedResults() {
    return Stream.of(
        Arguments.of("ReturnType", new Object[] {VT_CY}, "VT_CY is not yet supported.",
            "VT_CY (0x6)"),
        Arguments.of("ReturnType", new Object[] {VT_DECIMAL}, "Unexpected variant type:e.",
            "VT_DECIMAL (0xE)"),
        Arguments.of("ReturnType", new Object[] {VT_UI8}, "Unexpected variant type:15.",
            "VT_UI8 (0x15)"),
        Arguments.of("ReturnType", new Object[] {VT_BYREF | VT_I4},
            "VT_BYREF is not yet supported.", "VT_BYREF | VT_I4 (0x4003)"),
        Arguments.of("ReturnType", new Object[] {VT_BYREF | VT_VARIANT},
            "VT_BYREF is not yet supported.", "VT_BYREF | VT_VARIANT (0x400C)"),
        Arguments.of("MakeArray", new Object[] {VT_UI1, 0, 3}, "Not supported VT_ARRAY type.",
            "VT_ARRAY | VT_UI1 (0x2011)"),
        Arguments.of("MakeArray", new Object[] {VT_BOOL, 0, 3}, "Not supported VT_ARRAY type.",
            "VT_ARRAY | VT_BOOL (0x200B)"),
        Arguments.of("MakeArray", new Object[] {VT_DISPATCH, 0, 2},
            "Not supported VT_ARRAY type.", "VT_ARRAY | VT_DISPATCH (0x2009)"),
        Arguments.of("Echo", new Object[] {new byte[] {1, -1}}, "Not supported VT_ARRAY type.",
            "VT_ARRAY | VT_UI1 (0x2011)"),
        Arguments.of("Echo", new Object[] {new boolean[] {true}}, "Not supported VT_ARRAY type.",
            "VT_ARRAY | VT_BOOL (0x200B)"));
  }

  @ParameterizedTest(name = "{0}{1} -> {2}")
  @MethodSource("refusedResults")
  void refusedResultsCarryTheVariantUntilItIsReleased(
      String member, Object[] args, String message, String typeName) {
    int arrays = TestServer.liveSafeArrays();
    DispatchVariant2JavaException e =
        assertThrows(DispatchVariant2JavaException.class, () -> automation.invoke(member, args));
    assertEquals(message, e.getMessage());
    assertEquals(typeName, VarType.name(e.getVarType()));
    assertEquals(member + ": " + message + " (the variant holds " + typeName + ")",
        e.getLocalizedMessage());
    assertNotEquals(0, e.getVariantHandle());
    if (message.startsWith("Not supported")) {
      assertEquals(arrays + 1, TestServer.liveSafeArrays(), "the exception holds the array");
    }
    e.releaseVariant();
    assertEquals(0, e.getVariantHandle());
    e.releaseVariant(); // a second release does nothing
    assertEquals(arrays, TestServer.liveSafeArrays());
    assertEquals(typeName, VarType.name(e.getVarType()), "the type outlives the variant");
    // The fixture checks that no BSTR, SAFEARRAY or Counter outlives the test.
  }

  @Test
  void anUnreleasedRefusalGivesItsVariantBackOnceUnreachable() throws InterruptedException {
    int arrays = TestServer.liveSafeArrays();
    long objects = TestServer.liveObjects();
    refuseAnArrayOfTwoCounters();
    assertEquals(arrays + 1, TestServer.liveSafeArrays(), "the dropped exception holds the array");
    assertEquals(objects + 2, TestServer.liveObjects(), "and the objects in it");

    // The collector finds the exception; the safety net queues its variant; a later call on this
    // COM thread (here a wrapping, which empties the release queue) releases it.
    for (int i = 0; i < 500 && TestServer.liveSafeArrays() > arrays; ++i) {
      System.gc();
      Thread.sleep(10);
      automation.queryInterface(IUnknown.IID).close();
    }
    assertEquals(arrays, TestServer.liveSafeArrays());
    assertEquals(objects, TestServer.liveObjects());
  }

  private void refuseAnArrayOfTwoCounters() {
    DispatchVariant2JavaException e = assertThrows(DispatchVariant2JavaException.class,
        () -> automation.invoke("MakeArray", VT_DISPATCH, 0, 2));
    assertNotEquals(0, e.getVariantHandle()); // and never released
  }

  @Test
  void aMultiDimensionalArrayOfAnUnsupportedTypeGivesNull() {
    assertNull(automation.invoke("MakeArray", VT_BOOL, 0, 2, 0, 2));
  }

  static Stream<Arguments> strings() {
    return Stream.of(Arguments.of(0, ""), Arguments.of(1, ""), // a null BSTR
        Arguments.of(2, "a\0b"), Arguments.of(3, "\u00e4\u00f6\u00fc\u20ac\uD834\uDD1E"));
  }

  @ParameterizedTest(name = "ReturnString({0})")
  @MethodSource("strings")
  void stringsComeBackWithTheirExactLength(int which, String expected) {
    assertEquals(expected, automation.invoke("ReturnString", which));
  }

  @Test
  void nullPointersGiveNullOrTheEmptyString() {
    assertNull(automation.invoke("ReturnNullPointer", VT_DISPATCH));
    assertNull(automation.invoke("ReturnNullPointer", VT_UNKNOWN));
    assertEquals("", automation.invoke("ReturnNullPointer", VT_BSTR));
  }

  static Stream<Arguments> arrays() {
    return Stream.of(
        Arguments.of(new Object[] {VT_I4, 5, 3}, new int[] {1, 2, 3}), // lower bound 5 -> index 0
        Arguments.of(new Object[] {VT_I4, 0, 0}, new int[0]),
        Arguments.of(new Object[] {VT_I2, -1, 2}, new short[] {1, 2}),
        Arguments.of(new Object[] {VT_I1, 0, 2}, new byte[] {1, 2}),
        Arguments.of(new Object[] {VT_I8, 0, 2}, new long[] {1, 2}),
        Arguments.of(new Object[] {VT_INT, 0, 2}, new int[] {1, 2}),
        Arguments.of(new Object[] {VT_R4, 0, 2}, new float[] {1, 2}),
        Arguments.of(new Object[] {VT_BSTR, 1, 2}, new String[] {"s0", "s1"}),
        Arguments.of(new Object[] {VT_VARIANT, 0, 2}, new Object[] {1, 2}),
        // First SAFEARRAY dimension outermost: result[i][j] is element (lb1 + i, lb2 + j), and
        // element k = i + 2 * j holds k + 1.
        Arguments.of(new Object[] {VT_R8, 1, 2, 10, 3}, new double[][] {{1, 3, 5}, {2, 4, 6}}),
        Arguments.of(new Object[] {VT_I4, 0, 2, 0, 1, 0, 2}, new int[][][] {{{1, 3}}, {{2, 4}}}),
        Arguments.of(new Object[] {VT_BSTR, 0, 1, 0, 2}, new String[][] {{"s0", "s1"}}),
        Arguments.of(new Object[] {VT_I4, 0, 2, 0, 0}, new int[][] {{}, {}}));
  }

  @ParameterizedTest(name = "MakeArray{0}")
  @MethodSource("arrays")
  void safeArraysBecomeJavaArraysIndexedFromZero(Object[] makeArrayArgs, Object expected) {
    Object result = automation.invoke("MakeArray", makeArrayArgs);
    assertEquals(expected.getClass(), result.getClass());
    assertDeepEquals(expected, result);
  }

  @Test
  void variantArraysNestAndCarryObjects() {
    assertDeepEquals(new Object[] {new int[] {1}, new int[] {1, 2}, new int[] {1, 2, 3}},
        automation.invoke("MakeJaggedArray"));
    assertDeepEquals(new int[] {1, 2, 3}, automation.invoke("MakeSafeArrayVariant", 3));

    long objects = TestServer.liveObjects();
    Object[] mixed = (Object[]) automation.invoke("MakeDispatchArray");
    assertEquals(3, mixed.length);
    assertEquals(1, mixed[0]);
    assertEquals("s2", mixed[2]);
    try (IDispatch counter = assertInstanceOf(IDispatch.class, mixed[1])) {
      assertEquals(1, refCount(counter), "the array's own reference went with the array");
      assertEquals("Counter", counter.get("Kind"));
      assertEquals(objects + 1, TestServer.liveObjects());
    }
  }

  static Stream<Arguments> echoes() {
    return Stream.of(Arguments.of(42, 42), Arguments.of((short) -3, (short) -3),
        Arguments.of(1L << 40, 1L << 40), Arguments.of(2.5, 2.5), Arguments.of(-0.75f, -0.75f),
        Arguments.of(true, true), Arguments.of(false, false),
        Arguments.of((byte) -1, (byte) -1), // VT_UI1 255 and back
        Arguments.of("", ""), Arguments.of("x\0y\u20ac", "x\0y\u20ac"),
        Arguments.of(new int[] {1, -2, 3}, new int[] {1, -2, 3}),
        Arguments.of(new long[] {1L << 40}, new long[] {1L << 40}),
        Arguments.of(new double[] {0.5, -1}, new double[] {0.5, -1}),
        Arguments.of(new short[] {-1}, new short[] {-1}), Arguments.of(new float[0], new float[0]),
        Arguments.of(new Integer[] {5, 6}, new int[] {5, 6}),
        Arguments.of(new String[] {"a", "", "c"}, new String[] {"a", "", "c"}),
        Arguments.of(new Object[] {"s", 5, null, 2.5, (short) 1},
            new Object[] {"s", 5, null, 2.5, (short) 1}),
        Arguments.of(new int[][] {{1}, {2, 3}}, new Object[] {new int[] {1}, new int[] {2, 3}}),
        Arguments.of(new Object[] {new String[] {"in"}, new Object[] {7}},
            new Object[] {new String[] {"in"}, new Object[] {7}}));
  }

  @ParameterizedTest(name = "Echo({0})")
  @MethodSource("echoes")
  void echoRoundTripsJavaValues(Object value, Object expected) {
    Object result = automation.invoke("Echo", value);
    assertEquals(expected.getClass(), result.getClass());
    assertDeepEquals(expected, result);
  }

  @ParameterizedTest(name = "default time zone {0}")
  @ValueSource(strings = {"Asia/Kolkata", "America/Los_Angeles", "UTC"})
  void datesAreWallClockTimeOfTheDefaultZone(String zone) {
    TimeZone original = TimeZone.getDefault();
    TimeZone.setDefault(TimeZone.getTimeZone(zone));
    ComService.initialize(); // the shared calendar takes the zone when the cache is filled
    try {
      Calendar calendar = new GregorianCalendar(TimeZone.getTimeZone(zone));
      calendar.clear();
      calendar.set(2001, Calendar.MARCH, 15, 10, 20, 30);
      Date sample = calendar.getTime();
      assertEquals(sample, automation.invoke("ReturnType", VT_DATE));

      calendar.set(1999, Calendar.DECEMBER, 31, 23, 59, 58);
      Date date = calendar.getTime();
      assertEquals(date, automation.invoke("Echo", date));
      assertEquals("dispid=1 flags=1 cArgs=1 cNamed=0 named= vt=7", lastCall());
      assertDeepEquals(new Object[] {date, sample},
          automation.invoke("Echo", (Object) new Date[] {date, sample}));
    } finally {
      TimeZone.setDefault(original);
      ComService.initialize();
      ComService.uninitialize();
      ComService.uninitialize();
    }
  }

  @Test
  void interfaceResultsAreWrappersOwningTheReturnedReference() {
    long objects = TestServer.liveObjects(); // the Automation object
    try (IDispatch counter = (IDispatch) automation.invoke("ReturnType", VT_DISPATCH);
         IUnknown unknown = (IUnknown) automation.invoke("ReturnType", VT_UNKNOWN)) {
      assertEquals(objects + 2, TestServer.liveObjects());
      assertEquals(1, refCount(counter));
      assertEquals("Counter", counter.get("Kind"));
      assertEquals(1, counter.get("RefCount"));

      assertEquals(1, refCount(unknown));
      try (IDispatch viaQuery = unknown.queryDispatch()) {
        assertEquals(2, refCount(unknown));
        assertEquals("Counter", viaQuery.get("Kind"));
      }
      assertEquals(1, refCount(unknown));
    }
    assertEquals(objects, TestServer.liveObjects());
  }
}
