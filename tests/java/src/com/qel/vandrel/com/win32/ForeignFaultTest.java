package com.qel.vandrel.com.win32;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.qel.vandrel.testserver.TestServer;
import java.util.function.Function;
import java.util.stream.Stream;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * Access violations inside a foreign object's code, on every path of a call that reaches it:
 * each becomes an exception, the thread carries on, and the objects, BSTRs and SAFEARRAYs are
 * back at their baseline afterwards (the fixture checks).
 */
class ForeignFaultTest extends AutomationFixture {
  /** A FaultyRelease object: every Release faults once it has counted. */
  private IDispatch faulty;

  @BeforeEach
  void createFaultyRelease() {
    TestServer.setFaultyReleaseArmed(false);
    try {
      faulty = ComService.createDispatch(TestServer.CLSID_FAULTY_RELEASE);
    } finally {
      TestServer.setFaultyReleaseArmed(true);
    }
  }

  @AfterEach
  void onlyTheWrappersReferenceIsLeft() {
    TestServer.setFaultyReleaseArmed(false);
    try {
      assertEquals(1, refCount(faulty), "every reference the call made was given back");
      faulty.close();
    } finally {
      TestServer.setFaultyReleaseArmed(true);
    }
  }

  static Stream<Arguments> argumentsHoldingTheFaultyObject() {
    return Stream.of(Arguments.of("Object[]", (Function<IDispatch, Object>) f -> new Object[] {f}),
        Arguments.of("IDispatch[]", (Function<IDispatch, Object>) f -> new IDispatch[] {f, f}),
        Arguments.of("nested Object[]",
            (Function<IDispatch, Object>) f -> new Object[] {"s", new Object[] {f, 1, f}}));
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("argumentsHoldingTheFaultyObject")
  void releasingWhatAnArrayArgumentHoldsFaults(String label, Function<IDispatch, Object> make) {
    Object argument = make.apply(faulty);
    DispatchException e =
        assertThrows(DispatchException.class, () -> automation.invoke("Echo", argument));
    assertEquals("Access Violation", e.getMessage());
    assertEquals("carries on", automation.invoke("Echo", "carries on"));
  }

  static Stream<Arguments> conversionsFailingAfterTheFaultyObject() {
    Object opaque = new Object() {
      @Override
      public String toString() {
        return "opaque";
      }
    };
    return Stream.of(Arguments.of("in the same array",
                         (Function<IDispatch, Object>) f -> new Object[] {f, opaque}),
        Arguments.of("in a finished inner array",
            (Function<IDispatch, Object>) f -> new Object[] {new Object[] {"x", f}, opaque}));
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("conversionsFailingAfterTheFaultyObject")
  void theHalfBuiltArrayOfAFailedConversionKeepsTheConversionsException(
      String label, Function<IDispatch, Object> make) {
    automation.invoke("Echo", 1);
    String before = lastCall();
    Object argument = make.apply(faulty);
    DispatchException e =
        assertThrows(DispatchException.class, () -> automation.invoke("Echo", argument));
    assertEquals("opaque is not yet supported.", e.getMessage());
    assertEquals(before, lastCall(), "Invoke was not called");
  }

  @Test
  void releasingWrappersGoesOnPastOneWhoseReleaseFaults() {
    IDispatch second = faulty.queryDispatch();
    IDispatch counter = newCounter();
    Object[] wrappers = {second, new Object[] {counter, second}};
    ComException e =
        assertThrows(ComException.class, () -> ComService.internalReleaseIResources(wrappers));
    assertEquals("Access violation in release", e.getMessage());
    assertTrue(second.isClosed());
    assertTrue(counter.isClosed(), "the wrapper after the faulting one was closed too");
  }

  @Test
  void aReleaseFaultingInsidePutsInvokeBecomesAnException() {
    automation.put("Value", faulty);
    // The object stores the new value and then releases its reference to the old one, which
    // faults inside Invoke.
    DispatchException e =
        assertThrows(DispatchException.class, () -> automation.put("Value", null));
    assertEquals("Access Violation", e.getMessage());
    assertNull(automation.get("Value"));
  }

  @Test
  void aRefusedResultsCopyIsReleasedUnderTheGuard() {
    TestServer.setFaultyReleaseArmed(false);
    automation.put("Value", (Object) new IDispatch[] {faulty});
    TestServer.setFaultyReleaseArmed(true);
    try {
      // An array of interfaces comes back refused, with a copy holding its own reference.
      DispatchVariant2JavaException e =
          assertThrows(DispatchVariant2JavaException.class, () -> automation.get("Value"));
      assertEquals("Not supported VT_ARRAY type.", e.getMessage());
      ComException released = assertThrows(ComException.class, e::releaseVariant);
      assertEquals(ComException.class, released.getClass());
      assertEquals("Access violation in release", released.getMessage());
      assertEquals(0, e.getVariantHandle());
    } finally {
      TestServer.setFaultyReleaseArmed(false);
      automation.put("Value", null);
      TestServer.setFaultyReleaseArmed(true);
    }
  }

  @Test
  void faultsInAddRefQueryInterfaceGetIDsOfNamesAndInvoke() {
    IUnknown object =
        ComService.coCreateInstance(TestServer.CLSID_FAULTY_CALLS, ClsCtx.INPROC_SERVER);
    assertEquals("Access violation in AddRef",
        assertThrows(ComException.class, object::addRef).getMessage());
    assertEquals("Access violation in QueryInterface",
        assertThrows(ComException.class, () -> object.queryInterface(IUnknown.IID)).getMessage());
    try (IDispatch calls = automation.newIDispatch(object.detach())) {
      assertEquals("Access Violation",
          assertThrows(DispatchException.class, () -> calls.getIDsOfNames("Anything"))
              .getMessage());
      assertEquals("Access Violation",
          assertThrows(DispatchException.class, () -> calls.invoke(1, IDispatch.DISPATCH_METHOD))
              .getMessage());
      // The array argument's own AddRef of the object faults while the argument is built.
      automation.invoke("Echo", 1);
      String before = lastCall();
      DispatchException e = assertThrows(
          DispatchException.class, () -> automation.invoke("Echo", (Object) new Object[] {calls}));
      assertEquals("Access Violation", e.getMessage());
      assertEquals(before, lastCall(), "Invoke was not called");
    }
  }
}
