package com.qel.vandrel.com.win32;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertInstanceOf;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.qel.vandrel.com.win32.impl.IUnknownImpl;
import com.qel.vandrel.testserver.TestServer;
import java.util.ArrayList;
import java.util.Date;
import java.util.List;
import java.util.Map;
import java.util.stream.Stream;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * Event sinks against the sample EventSource: what arrives in Java, what the source gets back,
 * the connection's failures and the native sink's lifetime. After each test no sink object is
 * alive (and the fixture finds no sample object, BSTR or SAFEARRAY left).
 */
@SuppressWarnings("try") // connections are held open for the body of their try
class EventSinkTest extends AutomationFixture {
  private static final Guid EVENTS = Guid.parse(TestServer.EVENTS_IID);
  private static final int S_OK = 0;
  private static final int S_FALSE = 1;

  private IDispatch source;
  private final List<Object[]> received = new ArrayList<>();
  private final List<Integer> dispIds = new ArrayList<>();

  @BeforeEach
  void createSource() {
    assertEquals(0, Handler._liveHandlers(), "sinks left over by an earlier test");
    source = ComService.createDispatch(TestServer.CLSID_EVENT_SOURCE);
  }

  @AfterEach
  void checkSinksGone() {
    source.close();
    assertEquals(0, Handler._liveHandlers(), "sink objects left alive");
  }

  private Handler recorder(Object result) {
    return Handler.listening((dispId, args) -> {
      dispIds.add(dispId);
      received.add(args);
      return result;
    });
  }

  private Object fire(IDispatch target, int member, Object... args) {
    return target.invoke(member, IDispatch.DISPATCH_METHOD, args);
  }

  private Object get(IDispatch target, int member) {
    return target.invoke(member, IDispatch.DISPATCH_PROPERTYGET);
  }

  @Test
  void argumentsArriveInTheCallersOrderWithEachType() {
    Object date = automation.invoke("ReturnType", (short) VT_DATE);
    try (Handler sink = recorder(null); Handler.Connection c = sink.connect(source, EVENTS)) {
      assertEquals(S_OK, fire(source, TestServer.DISPID_FIRE_TYPED));
      assertEquals(List.of(TestServer.DISPID_FIRE_TYPED), dispIds);
      Object[] args = received.get(0);
      assertEquals(7, args.length);
      assertEquals(42, args[0]);
      assertEquals("text", args[1]);
      assertEquals(2.5, args[2]);
      assertEquals(Boolean.TRUE, args[3]);
      assertEquals(date, args[4]);
      try (IDispatch passed = assertInstanceOf(IDispatch.class, args[5])) {
        // A wrapper of its own on the source's pointer: the call's reference stays the caller's.
        assertEquals(source.getPtr(), passed.getPtr());
      }
      assertArrayEquals(new int[] {1, 2, 3}, (int[]) args[6]);
    }
  }

  @Test
  void noArgumentsGiveAnEmptyArrayAndNamedArgumentsComeLast() {
    try (Handler sink = recorder(null); Handler.Connection c = sink.connect(source, EVENTS)) {
      fire(source, TestServer.DISPID_FIRE_NO_ARGS);
      fire(source, TestServer.DISPID_FIRE_NAMED);
      assertArrayEquals(new Object[0], received.get(0));
      assertArrayEquals(new Object[] {1, "named"}, received.get(1));
    }
  }

  static Stream<Arguments> flags() {
    return Stream.of(Arguments.of(IDispatch.DISPATCH_METHOD, S_OK, 1),
        Arguments.of(IDispatch.DISPATCH_PROPERTYGET, S_FALSE, 0),
        Arguments.of(IDispatch.DISPATCH_PROPERTYPUT, S_FALSE, 0),
        Arguments.of(IDispatch.DISPATCH_METHOD | IDispatch.DISPATCH_PROPERTYGET, S_OK, 1));
  }

  @ParameterizedTest(name = "flags {0}")
  @MethodSource("flags")
  void onlyMethodCallsReachJava(int flags, int hresult, int calls) {
    try (Handler sink = recorder(null); Handler.Connection c = sink.connect(source, EVENTS)) {
      assertEquals(hresult, fire(source, TestServer.DISPID_FIRE_FLAGS, flags));
      assertEquals(calls, received.size());
    }
  }

  static Stream<Arguments> results() {
    return Stream.of(Arguments.of(null, null), Arguments.of(7, 7), Arguments.of("answer", "answer"),
        Arguments.of(true, true), Arguments.of(new int[] {4, 5}, new int[] {4, 5}));
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("results")
  void theSourceReadsTheHandlersResult(Object answer, Object expected) {
    try (Handler sink = recorder(answer); Handler.Connection c = sink.connect(source, EVENTS)) {
      Object back = fire(source, TestServer.DISPID_FIRE_FOR_RESULT, "in");
      if (expected instanceof int[]) {
        assertArrayEquals((int[]) expected, (int[]) back);
      } else {
        assertEquals(expected, back);
      }
      assertArrayEquals(new Object[] {"in"}, received.get(0));
    }
  }

  @Test
  void anInterfaceResultCarriesAReferenceOfItsOwn() {
    int before = refCount(automation);
    try (Handler sink = recorder(automation); Handler.Connection c = sink.connect(source, EVENTS);
         IDispatch back = (IDispatch) fire(source, TestServer.DISPID_FIRE_FOR_RESULT, 1)) {
      assertEquals(automation.getPtr(), back.getPtr());
      assertEquals(before + 1, refCount(automation));
    }
    assertEquals(before, refCount(automation));
  }

  @Test
  void referenceCountLifecycle() {
    try (Handler owner = new Handler()) {
      long raw = Handler._createHandler();
      owner._setObject(raw);
      owner._setObject(raw); // the second binding replaces the first global reference
      int live = Handler._liveHandlers();
      assertEquals(1, TestServer.addRefObject(raw));
      assertEquals(1, TestServer.releaseObject(raw)); // the count as it was before
      assertEquals(0, TestServer.releaseObject(raw)); // -1: still alive
      assertEquals(live, Handler._liveHandlers());
      assertEquals(-1, TestServer.releaseObject(raw)); // from -1: destroyed
      assertEquals(live - 1, Handler._liveHandlers());
    }
  }

  @Test
  void theEventInterfaceIsAnsweredOnlyOnceRecorded() {
    try (Handler sink = recorder(null)) {
      IUnknown unknown = IUnknownImpl.adopt(sink.nativeHandle()); // borrows: detached below
      try {
        DispatchException refused =
            assertThrows(DispatchException.class, () -> unknown.queryInterface(EVENTS));
        assertEquals("Failed(0x80004002), FACILITY:0, CODE:16386.", refused.getMessage());
        try (IUnknown dispatch = unknown.queryInterface(IDispatch.IID)) {
          assertEquals(sink.nativeHandle(), dispatch.getPtr());
        }
        try (Handler.Connection c = sink.connect(source, EVENTS);
             IUnknown events = unknown.queryInterface(EVENTS)) {
          assertEquals(sink.nativeHandle(), events.getPtr());
          assertEquals(1, get(source, TestServer.DISPID_SINK_REFERENCES));
        }
        assertEquals(0, get(source, TestServer.DISPID_SINK_REFERENCES));
      } finally {
        unknown.detach();
      }
    }
  }

  static Stream<Arguments> adviseFailures() {
    return Stream.of(Arguments.of(0x80004005, "Advise failed: 0x80004005"),
        Arguments.of(0x8000FFFF, "Unexpected (E_UNEXPECTED) to call Advise"),
        Arguments.of(0x80040201, "Exceeded the limit of Advise (CONNECT_E_ADVISELIMIT)"),
        Arguments.of(
            0x80040202, "The sink does not support the interface (CONNECT_E_CANNOTCONNECT)"));
  }

  @ParameterizedTest(name = "{1}")
  @MethodSource("adviseFailures")
  void adviseFailuresLeaveTheSinkUnconnected(int hresult, String message) {
    try (Handler sink = recorder(null)) {
      fire(source, TestServer.DISPID_FAIL_ADVISE, hresult);
      DispatchException e =
          assertThrows(DispatchException.class, () -> sink.connect(source, EVENTS));
      assertEquals(message, e.getMessage());
      assertFalse(sink.isConnected());
      assertEquals(0, get(source, TestServer.DISPID_SINK_REFERENCES));
      try (Handler.Connection c = sink.connect(source, EVENTS)) {
        fire(source, TestServer.DISPID_FIRE_NO_ARGS);
        assertEquals(1, received.size());
      }
    }
  }

  @Test
  void connectingFailsWithoutAContainerOrAPoint() {
    try (Handler sink = recorder(null)) {
      DispatchException noContainer =
          assertThrows(DispatchException.class, () -> sink.connect(automation, EVENTS));
      assertEquals("Failed(0x80004002), FACILITY:0, CODE:16386.", noContainer.getMessage());
      DispatchException noPoint =
          assertThrows(DispatchException.class, () -> sink.connect(source, IDispatch.IID));
      assertEquals("Failed(0x80040200), FACILITY:4, CODE:512.", noPoint.getMessage());
      assertFalse(sink.isConnected());
    }
  }

  @Test
  void disconnectingStopsEventsAndTheSinkConnectsAgain() {
    try (Handler sink = recorder(null);
         IDispatch other = ComService.createDispatch(TestServer.CLSID_EVENT_SOURCE)) {
      Handler.Connection first = sink.connect(source, EVENTS);
      assertThrows(IllegalStateException.class, () -> sink.connect(other, EVENTS));
      fire(source, TestServer.DISPID_FIRE_NO_ARGS);
      first.close();
      first.close();
      assertFalse(first.isOpen());
      fire(source, TestServer.DISPID_FIRE_NO_ARGS);
      assertEquals(1, received.size());
      assertEquals(0, get(source, TestServer.DISPID_SINK_REFERENCES));
      for (IDispatch target : new IDispatch[] {source, other}) {
        try (Handler.Connection again = sink.connect(target, EVENTS)) {
          fire(target, TestServer.DISPID_FIRE_NO_ARGS);
        }
      }
      assertEquals(3, received.size());
    }
  }

  @Test
  void closingTheSinkDisconnectsIt() {
    Handler sink = recorder(null);
    Handler.Connection c = sink.connect(source, EVENTS);
    sink.close();
    assertFalse(c.isOpen());
    assertEquals(0, get(source, TestServer.DISPID_SINK_REFERENCES));
    assertThrows(IllegalStateException.class, () -> sink.connect(source, EVENTS));
  }

  @Test
  void aNativeThreadGetsWrongThreadAndJavaIsNotCalled() {
    try (Handler sink = recorder(null); Handler.Connection c = sink.connect(source, EVENTS)) {
      assertEquals("invoke=8001010e names=8001010e id=-1",
          fire(source, TestServer.DISPID_FIRE_FROM_NATIVE_THREAD));
      assertTrue(received.isEmpty());
    }
  }

  @Test
  void aThrowingHandlerReachesTheFiringCaller() {
    IllegalStateException thrown = new IllegalStateException("handler failed");
    try (Handler sink = Handler.listening((dispId, args) -> { throw thrown; });
         Handler.Connection c = sink.connect(source, EVENTS)) {
      for (int member :
          new int[] {TestServer.DISPID_FIRE_FOR_RESULT, TestServer.DISPID_FIRE_NAMED}) {
        Object[] args =
            member == TestServer.DISPID_FIRE_FOR_RESULT ? new Object[] {1} : new Object[0];
        assertSame(
            thrown, assertThrows(IllegalStateException.class, () -> fire(source, member, args)));
        assertEquals(S_OK, get(source, TestServer.DISPID_LAST_HRESULT));
      }
    }
  }

  /** An event target with DISPID-marked methods. */
  public static final class Target {
    final List<String> calls = new ArrayList<>();

    @DispId(TestServer.DISPID_FIRE_NAMED)
    public String named(Integer first, String second) {
      calls.add(first + "/" + second);
      return "ok";
    }

    @DispId(value = TestServer.DISPID_FIRE_FOR_RESULT, name = "Answer")
    public Object answer(Object[] args) {
      return args.length;
    }
  }

  @Test
  void markedMethodsReceiveTheirEventsAndAnswerNames() {
    Target target = new Target();
    try (Handler sink = Handler.dispatchingTo(target);
         Handler.Connection c = sink.connect(source, EVENTS)) {
      fire(source, TestServer.DISPID_FIRE_NAMED);
      assertEquals(List.of("1/named"), target.calls);
      assertEquals(1, fire(source, TestServer.DISPID_FIRE_FOR_RESULT, "x"));
      assertEquals(S_OK, fire(source, TestServer.DISPID_FIRE_NO_ARGS)); // no method: ignored
      assertEquals("00000000:3,-1", fire(source, TestServer.DISPID_ASK_NAMES, "NAMED", "nope"));
      assertEquals("00000000:5", fire(source, TestServer.DISPID_ASK_NAMES, "answer"));
    }
  }

  static Stream<Arguments> nameAnswers() {
    return Stream.of(Arguments.of("null", null, "80020006:-1,-1"),
        Arguments.of("wrong length", new int[] {9}, "00000001:12345,12345"),
        Arguments.of("exact", new int[] {9, 8}, "00000000:9,8"));
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("nameAnswers")
  void getIDsOfNamesAnswers(String label, int[] answer, String seen) {
    try (Handler sink = new Handler() {
      @Override
      public int[] getIDsOfNames(String[] names) {
        assertArrayEquals(new String[] {"a", "b"}, names);
        return answer;
      }
    }; Handler.Connection c = sink.connect(source, EVENTS)) {
      assertEquals(seen, fire(source, TestServer.DISPID_ASK_NAMES, "a", "b"));
    }
  }

  @Test
  void aThrowingGetIDsOfNamesGivesUnknownNamesAndReachesTheCaller() {
    try (Handler sink = new Handler() {
      @Override
      public int[] getIDsOfNames(String[] names) {
        throw new UnsupportedOperationException("no names");
      }
    }; Handler.Connection c = sink.connect(source, EVENTS)) {
      assertThrows(UnsupportedOperationException.class,
          () -> fire(source, TestServer.DISPID_ASK_NAMES, "a", "b"));
    }
  }

  @Test
  void manyEventsInOneCallKeepTheLocalReferencesBounded() {
    int[] count = {0};
    try (Handler sink = Handler.listening((dispId, args) -> {
      count[0]++;
      return null;
    });
         Handler.Connection c = sink.connect(source, EVENTS)) {
      int n = 200_000;
      long start = System.nanoTime();
      assertEquals(S_OK, fire(source, TestServer.DISPID_FIRE_MANY, n));
      long elapsed = System.nanoTime() - start;
      assertEquals(n, count[0]);
      System.out.printf(
          "one event from Invoke to the Java handler: %.0f ns%n", (double) elapsed / n);
    }
  }

  @Test
  void unusedAnswerNamesMap() {
    try (Handler sink = new Handler().answerNames(Map.of("Fired", 4))) {
      assertArrayEquals(new int[] {4, -1}, sink.getIDsOfNames(new String[] {"fired", null}));
      assertNull(sink.defaultHandler(1, new Object[0]));
    }
  }
}
