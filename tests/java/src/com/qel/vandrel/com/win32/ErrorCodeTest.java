package com.qel.vandrel.com.win32;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;

import com.qel.vandrel.testserver.TestServer;
import java.util.concurrent.atomic.AtomicReference;
import java.util.function.Function;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/** Every failure reaches Java with its exact HRESULT, and the object's exception record. */
class ErrorCodeTest extends AutomationFixture {
  private static final String UNREGISTERED = "{5E1A0000-0000-4A11-9000-00000000003F}";
  private static final int E_FAIL = 0x80004005;

  /** One failing call through the Java API: what it throws, with which code and member. */
  interface Call {
    void run(IDispatch automation);
  }

  static Stream<Arguments> failures() {
    return Stream.of(
        Arguments.of("unknown name", (Call) a -> a.invoke("NoSuchMember"), 0x80020006, null,
            "Unknown name: NoSuchMember"),
        Arguments.of("DISP_E_EXCEPTION", (Call) a -> a.invoke("Fail", "it broke"), 0x80020009,
            "Fail", "Failed(0x80020009), FACILITY:2, CODE:9. it broke"),
        Arguments.of("member not found", (Call) a -> a.get("Echo", 1), 0x80020003, "Echo",
            "Failed(0x80020003), FACILITY:2, CODE:3."),
        Arguments.of("property put refused", (Call) a -> a.put("LastCall", 1), 0x80020003,
            "LastCall", "Failed(0x80020003), FACILITY:2, CODE:3."),
        Arguments.of("S_FALSE", (Call) a -> a.invoke("SFalse"), 1, "SFalse",
            "S_FALSE is returned."),
        Arguments.of("bad argument count", (Call) a -> a.invoke("Echo", 1, 2), 0x8002000e, "Echo",
            "Failed(0x8002000e), FACILITY:2, CODE:14."),
        Arguments.of("by DISPID: no member known", (Call) a -> a.invoke(4711, 1), 0x80020003, null,
            "Failed(0x80020003), FACILITY:2, CODE:3."),
        Arguments.of("access violation: no HRESULT", (Call) a -> a.invoke("Crash"), 0, "Crash",
            "Access Violation"),
        Arguments.of("E_NOINTERFACE",
            (Call) a -> a.queryInterface(Guid.parse(UNREGISTERED)), 0x80004002, null,
            "Failed(0x80004002), FACILITY:0, CODE:16386."));
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("failures")
  void failuresCarryTheirExactCode(
      String label, Call call, int hresult, String member, String message) {
    ComException e = assertThrows(ComException.class, () -> call.run(automation));
    assertEquals(hresult, e.getHResult(), label);
    assertEquals(message, e.getMessage(), "the library's text is unchanged");
    assertEquals(member, e.getMember());
    assertEquals(member == null ? message : member + ": " + message, e.getLocalizedMessage());
    assertEquals(hresult & 0xFFFF, e.getCode());
  }

  static Stream<Arguments> exceptionRecords() {
    // Fail(description, code): a code of 1..65535 travels as wCode, any other as scode.
    return Stream.of(Arguments.of("it broke", null, 0, E_FAIL),
        Arguments.of("coded", 42, 42, 0),
        Arguments.of("own scode", 0x80040200, 0, 0x80040200),
        Arguments.of("", null, 0, E_FAIL));
  }

  @ParameterizedTest(name = "{index}: \"{0}\"")
  @MethodSource("exceptionRecords")
  void theExceptionRecordIsReadable(String description, Integer code, int wCode, int scode) {
    Object[] args = code == null ? new Object[] {description} : new Object[] {description, code};
    DispatchException e =
        assertThrows(DispatchException.class, () -> automation.invoke("Fail", args));
    assertEquals(0x80020009, e.getHResult());
    ExceptionInfo info = e.getExceptionInfo();
    assertNotNull(info);
    assertEquals(TestServer.EXCEPTION_SOURCE, info.getSource());
    assertEquals(description, info.getDescription());
    assertNull(info.getHelpFile());
    assertEquals(0, info.getHelpContext());
    assertEquals(wCode, info.getWCode());
    assertEquals(scode, info.getScode());
  }

  @Test
  void aDeferredRecordIsReadCompleted() {
    DispatchException e =
        assertThrows(DispatchException.class, () -> automation.invoke("FailDeferred", "later"));
    assertEquals("deferred: later", e.getExceptionInfo().getDescription());
    assertEquals(TestServer.EXCEPTION_SOURCE, e.getExceptionInfo().getSource());
    assertEquals(E_FAIL, e.getExceptionInfo().getScode());
  }

  @Test
  void failuresWithoutAnExceptionRecordHaveNone() {
    DispatchException e = assertThrows(DispatchException.class, () -> automation.get("Echo", 1));
    assertNull(e.getExceptionInfo());
  }

  static Stream<Arguments> creationFailures() {
    return Stream.of(
        Arguments.of("class not registered", (Function<String, IUnknown>) ComService::createInstance,
            UNREGISTERED, 0x80040154, "CoCreateInstance of \"" + UNREGISTERED
                + "\" (CLSCTX 0x17) failed: 0x80040154 (REGDB_E_CLASSNOTREG);"
                + " COM is initialised on this thread."),
        Arguments.of("unknown ProgID", (Function<String, IUnknown>) ComService::createInstance,
            "Ostrel.SampleNoSuchClass", 0x800401f3, "CoCreateInstance of"
                + " \"Ostrel.SampleNoSuchClass\" (CLSCTX 0x17) failed: 0x800401f3"
                + " (CO_E_CLASSSTRING); COM is initialised on this thread."),
        Arguments.of("display name no moniker parses",
            (Function<String, IUnknown>) ComService::bindObject, "nosuchmoniker:x", 0x800401e4,
            "CoGetObject of \"nosuchmoniker:x\" failed: 0x800401e4 (MK_E_SYNTAX);"
                + " COM is initialised on this thread."),
        Arguments.of("nothing running", (Function<String, IUnknown>) ComService::activeObject,
            UNREGISTERED, 0x800401e3, "GetActiveObject of \"" + UNREGISTERED + "\" failed: 0x800401e3 (MK_E_UNAVAILABLE); COM is initialised on this thread."));
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("creationFailures")
  void throwingCreationFormsSayWhatFailed(String label, Function<String, IUnknown> create,
      String name, int hresult, String message) {
    ComException e = assertThrows(ComException.class, () -> create.apply(name));
    assertEquals(hresult, e.getHResult(), label);
    assertEquals(hresult, ComService.lastResult());
    assertEquals(message, e.getMessage());
  }

  @Test
  void aThreadWithoutComIsNamed() throws InterruptedException {
    AtomicReference<Throwable> thrown = new AtomicReference<>();
    Thread thread = new Thread(() -> {
      try {
        ComService.createInstance(TestServer.CLSID_COUNTER);
      } catch (Throwable t) {
        thrown.set(t);
      }
    });
    thread.start();
    thread.join();
    ComException e = (ComException) thrown.get();
    assertNotNull(e);
    assertEquals(0x800401f0, e.getHResult());
    assertEquals("CoCreateInstance of \"" + TestServer.CLSID_COUNTER
            + "\" (CLSCTX 0x17) failed: 0x800401f0 (CO_E_NOTINITIALIZED);"
            + " COM is not initialised on this thread.",
        e.getMessage());
  }

  @Test
  void theNullFormsKeepReturningNull() {
    assertNull(ComService.coCreateInstance(UNREGISTERED));
    assertEquals(0x80040154, ComService.lastResult());
    assertNull(ComService.createDispatch(UNREGISTERED));
  }

  static Stream<Arguments> creationsByProgId() {
    return Stream.of(
        Arguments.of((Function<String, IUnknown>) ComService::newDispatch,
            TestServer.PROGID_AUTOMATION),
        Arguments.of((Function<String, IUnknown>) ComService::newDispatch,
            TestServer.PROGID_AUTOMATION_INDEPENDENT.toLowerCase(java.util.Locale.ROOT)),
        Arguments.of((Function<String, IUnknown>) ComService::createInstance,
            TestServer.PROGID_AUTOMATION_INDEPENDENT),
        Arguments.of((Function<String, IUnknown>) ComService::bindObject,
            "new:" + TestServer.PROGID_AUTOMATION));
  }

  @ParameterizedTest(name = "{1}")
  @MethodSource("creationsByProgId")
  void theThrowingFormsCreateByProgId(Function<String, IUnknown> create, String name) {
    try (IUnknown object = create.apply(name);
        IDispatch sample = object.queryDispatch()) {
      assertEquals("by ProgID", sample.invoke("Echo", "by ProgID"));
    }
    assertEquals(0, ComService.lastResult());
  }
}
