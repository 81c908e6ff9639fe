package com.qel.vandrel.com.win32;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertInstanceOf;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;

import com.qel.vandrel.testserver.TestServer;
import java.util.Arrays;
import java.util.function.Supplier;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * Calls through IDispatch against the sample Automation object: what the object receives (seen
 * through its LastCall record), property puts, name lookup, and how failures reach Java.
 */
class AutomationCallTest extends AutomationFixture {
  private static final String DISP_EXCEPTION = "Failed(0x80020009), FACILITY:2, CODE:9. ";

  @Test
  void argumentsArriveLastFirst() {
    // MakeArray(vt, lb1, n1) with three differently typed integers: x, y, z -> rgvarg = z, y, x.
    Object result = automation.invoke("MakeArray", (short) VT_I4, 5, 2.0);
    assertArrayEquals(new int[] {1, 2}, (int[]) result);
    assertEquals("dispid=4 flags=1 cArgs=3 cNamed=0 named= vt=5,3,2", lastCall());
  }

  @Test
  void noArgumentsAndNullArguments() {
    automation.invoke(TestServer.DISPID_MAKE_JAGGED_ARRAY, IDispatch.DISPATCH_METHOD);
    assertEquals("dispid=7 flags=1 cArgs=0 cNamed=0 named= vt=", lastCall());
    automation.invoke(
        TestServer.DISPID_MAKE_JAGGED_ARRAY, IDispatch.DISPATCH_METHOD, (Object[]) null);
    assertEquals("dispid=7 flags=1 cArgs=0 cNamed=0 named= vt=", lastCall());

    assertNull(automation.invoke("Echo", (Object) null));
    assertEquals("dispid=1 flags=1 cArgs=1 cNamed=0 named= vt=0", lastCall());
  }

  static Stream<Arguments> puts() {
    return Stream.of(Arguments.of("Integer", (Supplier<Object>) () -> 7, 4, VT_I4, 7),
        Arguments.of("String", (Supplier<Object>) () -> "text", 4, VT_BSTR, "text"),
        Arguments.of("empty string", (Supplier<Object>) () -> "", 4, VT_BSTR, ""),
        Arguments.of("null", (Supplier<Object>) () -> null, 4, VT_EMPTY, null),
        Arguments.of("RefInt", (Supplier<Object>) () -> new RefInt(-9), 8, VT_BYREF | VT_I4, -9),
        Arguments.of("RefString",
            (Supplier<Object>) () -> new RefString("by ref"), 8, VT_BYREF | VT_BSTR, "by ref"));
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("puts")
  void putPassesTheValueAsTheNamedPropertyPutArgument(
      String label, Supplier<Object> make, int flags, int vt, Object readBack) throws Exception {
    Object value = make.get();
    try {
      automation.put("Value", value);
      assertEquals("dispid=0 flags=" + flags + " cArgs=1 cNamed=1 named=-3 vt=" + vt, lastCall());
      assertEquals(readBack, automation.get("Value"));
    } finally {
      if (value instanceof AutoCloseable) {
        ((AutoCloseable) value).close();
      }
    }
  }

  @Test
  void putOfAWrapperLendsItsPointerWithoutTakingItsReference() {
    try (IDispatch counter = newCounter()) {
      automation.put("Value", counter);
      assertEquals("dispid=0 flags=4 cArgs=1 cNamed=1 named=-3 vt=9", lastCall());
      assertEquals(2, refCount(counter), "the wrapper's reference and the stored copy");

      try (IDispatch stored = (IDispatch) automation.get("Value")) {
        assertEquals(TestServer.refCount(counter.getPtr()), refCount(stored));
        assertEquals(3, refCount(stored));
        assertEquals("Counter", stored.get("Kind"));
      }
      automation.put("Value", null);
      assertEquals(1, refCount(counter));
    }
  }

  @Test
  void failingPutsThrow() {
    DispatchException e =
        assertThrows(DispatchException.class, () -> automation.put("LastCall", 1));
    assertEquals("Failed(0x80020003), FACILITY:2, CODE:3.", e.getMessage());
    e = assertThrows(DispatchException.class, () -> automation.put("Value", new Object() {
      @Override
      public String toString() {
        return "an opaque object";
      }
    }));
    assertEquals("an opaque object is not yet supported.", e.getMessage());
  }

  static Stream<Arguments> failures() {
    String longText = String.join("", java.util.Collections.nCopies(300, "long "));
    return Stream.of(Arguments.of("exception with description", new Object[] {"Fail", "it broke"},
                         DISP_EXCEPTION + "it broke"),
        Arguments.of(
            "exception with wCode", new Object[] {"Fail", "coded", 42}, DISP_EXCEPTION + "coded"),
        Arguments.of("exception with empty description", new Object[] {"Fail", ""}, DISP_EXCEPTION),
        Arguments.of("description cut to the message limit", new Object[] {"Fail", longText},
            (DISP_EXCEPTION + longText).substring(0, 1023)),
        Arguments.of("S_FALSE", new Object[] {"SFalse"}, "S_FALSE is returned."),
        Arguments.of("too many arguments", new Object[] {"Echo", 1, 2},
            "Failed(0x8002000e), FACILITY:2, CODE:14."),
        Arguments.of("omitted required argument", new Object[] {"Echo", Missing.VALUE},
            "Failed(0x8002000f), FACILITY:2, CODE:15."),
        Arguments.of("wrong argument type", new Object[] {"ReturnType", "x"},
            "Failed(0x80020005), FACILITY:2, CODE:5."),
        Arguments.of("no sample of that type", new Object[] {"ReturnType", 0x1000},
            "Failed(0x80020008), FACILITY:2, CODE:8."),
        Arguments.of("failure outside FACILITY_DISPATCH", new Object[] {"ReturnString", 99},
            "Failed(0x80070057), FACILITY:7, CODE:87."));
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("failures")
  void failedCallsThrowTheFormattedCode(String label, Object[] call, String message) {
    Object[] args = Arrays.copyOfRange(call, 1, call.length);
    DispatchException e =
        assertThrows(DispatchException.class, () -> automation.invoke((String) call[0], args));
    assertEquals(DispatchException.class, e.getClass());
    assertEquals(message, e.getMessage());
  }

  @Test
  void deferredExceptionInformationIsCompletedBeforeItIsReported() {
    DispatchException e =
        assertThrows(DispatchException.class, () -> automation.invoke("FailDeferred", "later"));
    assertEquals(DISP_EXCEPTION + "deferred: later", e.getMessage());
  }

  @Test
  void wrongFlagsAndUnknownDispIdsAreMemberNotFound() {
    String notFound = "Failed(0x80020003), FACILITY:2, CODE:3.";
    assertEquals(notFound,
        assertThrows(DispatchException.class, () -> automation.get("Echo", 1)).getMessage());
    assertEquals(notFound,
        assertThrows(
            DispatchException.class, () -> automation.invoke(4711, IDispatch.DISPATCH_METHOD))
            .getMessage());
    assertEquals("dispid=4711 flags=1 cArgs=0 cNamed=0 named= vt=", lastCall());
  }

  @Test
  void accessViolationInsideInvokeBecomesAnException() {
    DispatchException e = assertThrows(DispatchException.class, () -> automation.invoke("Crash"));
    assertEquals("Access Violation", e.getMessage());
    assertEquals("dispid=12 flags=1 cArgs=0 cNamed=0 named= vt=", lastCall());
    // The thread and the object carry on.
    assertEquals("still here", automation.invoke("Echo", "still here"));
  }

  @Test
  void stringAndArrayArgumentsOfAFailedCallAreCleared() {
    int[] numbers = {1, 2, 3};
    DispatchException e = assertThrows(DispatchException.class,
        () -> automation.invoke("SFalse", "a string", numbers, new String[] {"x", "y"}));
    assertEquals("Failed(0x8002000e), FACILITY:2, CODE:14.", e.getMessage());
    assertEquals("dispid=11 flags=1 cArgs=3 cNamed=0 named= vt=8200,8195,8", lastCall());
    // The fixture checks after the test that the BSTRs and SAFEARRAYs are gone.
  }

  @Test
  void anArgumentThatCannotBeConvertedStopsTheCallBeforeInvoke() {
    automation.invoke("Echo", 1);
    String before = lastCall();
    Object opaque = new Object() {
      @Override
      public String toString() {
        return "opaque";
      }
    };
    DispatchException e = assertThrows(DispatchException.class,
        () -> automation.invoke("MakeArray", "converted first", new int[] {1}, opaque));
    assertEquals("opaque is not yet supported.", e.getMessage());
    assertEquals(before, lastCall(), "Invoke was not called");
    e = assertThrows(
        DispatchException.class, () -> automation.invoke("Echo", (Object) new char[2]));
    assertEquals("char is not yet supported.", e.getMessage());
  }

  @Test
  void namesResolveToDispIdsOrNull() {
    assertArrayEquals(new long[] {1}, automation.getIDsOfNames("Echo"));
    assertArrayEquals(new long[] {4, 0, 2}, automation.getIDsOfNames("makearray", "VT", "n1"));
    assertNull(automation.getIDsOfNames("NoSuchMember"));
    assertNull(automation.getIDsOfNames("Echo", "noSuchParameter"));

    DispatchException e =
        assertThrows(DispatchException.class, () -> automation.invoke("NoSuchMember"));
    assertEquals("Unknown name: NoSuchMember", e.getMessage());
    assertThrows(NullPointerException.class, () -> automation.getIDsOfNames("Echo", null));
  }

  @Test
  void negativeDispIdsKeepTheirValue() {
    long[] ids = automation.getIDsOfNames("_NewEnum");
    assertArrayEquals(new long[] {IDispatch.DISPID_NEWENUM}, ids);
    assertEquals("enum", automation.invoke(ids[0], IDispatch.DISPATCH_METHOD));
    assertEquals("dispid=-4 flags=1 cArgs=0 cNamed=0 named= vt=", lastCall());
    assertEquals("enum", automation.get("_NewEnum"));
    assertEquals("dispid=-4 flags=2 cArgs=0 cNamed=0 named= vt=", lastCall());
    // Only the low 32 bits of a DISPID reach Invoke.
    assertEquals("enum", automation.invoke(0x1_FFFF_FFFCL, IDispatch.DISPATCH_METHOD));
  }

  @Test
  void theObjectsOwnReferenceCountIsUntouchedByCalls() {
    assertEquals(1, automation.get("RefCount"));
    try (IDispatch self = (IDispatch) automation.invoke("Echo", automation)) {
      assertEquals(2, refCount(automation), "the echoed wrapper owns the reference it was given");
      assertInstanceOf(Integer.class, self.get("RefCount"));
    }
    assertEquals(1, refCount(automation));
  }
}
