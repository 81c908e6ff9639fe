package com.qel.vandrel.com.win32;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.qel.vandrel.com.win32.impl.IDispatchImpl;
import com.qel.vandrel.testserver.TestServer;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.function.Executable;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * The package used by a JVM in which nothing called {@link ComService#initialize()}: this class
 * never does (its tests run in a JVM of their own).
 */
class UseBeforeInitializeTest {
  /**
   * A pointer a host application handed over. The natives refuse the call before they would touch
   * it, so it points at nothing.
   */
  private static final long HOST_POINTER = 0x10;

  static Stream<Arguments> callsThatNeedInitialisation() {
    return Stream.of(
        Arguments.of("coCreateInstance",
            (Executable) () -> ComService.coCreateInstance(TestServer.CLSID_COUNTER)),
        Arguments.of("coGetObject",
            (Executable) () -> ComService.coGetObject("new:" + TestServer.CLSID_MONIKER)),
        Arguments.of("getActiveObject",
            (Executable) () -> ComService.getActiveObject(TestServer.CLSID_RUNNING)),
        Arguments.of("messageBox",
            (Executable) () -> ComService.messageBox("text", "caption", ComService.MB_OK)),
        Arguments.of("invoke on a host's pointer", onHostPointer(d -> d.invoke("Echo", 1))),
        Arguments.of("invoke by DISPID", onHostPointer(d -> d.invoke(1, IDispatch.DISPATCH_METHOD))),
        Arguments.of("put", onHostPointer(d -> d.put("Value", 1))),
        Arguments.of("addRef", onHostPointer(IUnknown::addRef)),
        Arguments.of("release", onHostPointer(IUnknown::release)),
        Arguments.of("queryInterface", onHostPointer(d -> d.queryInterface(IUnknown.IID))));
  }

  private interface DispatchCall {
    void call(IDispatch dispatch);
  }

  /** A call on a wrapper of the host's pointer; the wrapper gives the pointer back unreleased. */
  private static Executable onHostPointer(DispatchCall call) {
    return () -> {
      IDispatch wrapper = IDispatchImpl.adopt(HOST_POINTER);
      try {
        call.call(wrapper);
      } finally {
        assertEquals(HOST_POINTER, wrapper.detach());
      }
    };
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("callsThatNeedInitialisation")
  void throwsIllegalStateExceptionNamingWhatToCallFirst(String name, Executable call) {
    IllegalStateException e = assertThrows(IllegalStateException.class, call);
    assertTrue(e.getMessage().contains("ComService.initialize()"), e.getMessage());
  }

  @Test
  void cellsWorkWithoutInitialisation() {
    try (RefInt number = new RefInt(5);
        RefString text = new RefString("before")) {
      number.set(number.get() + 1);
      assertEquals(6, number.get());
      assertEquals("before", text.get());
      text.set(null);
      assertNull(text.get());
    }
  }
}
