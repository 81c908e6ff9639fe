package com.qel.vandrel.com.win32.impl;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.qel.vandrel.com.win32.IDispatch;
import java.util.stream.Stream;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.function.Executable;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * Ownership and argument checks of the wrappers that act before any native call. The wrapped
 * pointer is a dummy that never reaches COM: every test detaches it again, so neither close() nor
 * the safety net release it.
 */
class WrapperOwnershipTest {
  private static final long DUMMY = 0x7FFF_0000_1000L;

  private final IDispatchImpl wrapper = new IDispatchImpl(DUMMY);

  @AfterEach
  void detachTheDummy() {
    if (!wrapper.isClosed()) {
      wrapper.detach();
    }
  }

  @Test
  void detachHandsThePointerOverOnceAndClosesTheWrapper() {
    assertEquals(DUMMY, wrapper.getPtr());
    assertFalse(wrapper.isClosed());

    assertEquals(DUMMY, wrapper.detach());

    assertTrue(wrapper.isClosed());
    assertThrows(IllegalStateException.class, wrapper::getPtr);
    assertThrows(IllegalStateException.class, wrapper::detach);
    assertThrows(IllegalStateException.class, wrapper::addRef);
    assertThrows(IllegalStateException.class, () -> wrapper.invoke(0L, IDispatch.DISPATCH_METHOD));
    wrapper.close(); // nothing left to release: must not reach the native release
  }

  @Test
  void factoriesWrapWithoutAddRefAndMapZeroToNull() {
    assertNull(wrapper.newIUnknown(0));
    assertNull(wrapper.newIDispatch(0));
    IDispatch other = wrapper.newIDispatch(DUMMY + 8);
    assertEquals(DUMMY + 8, other.detach());
  }

  @Test
  void localeChangesAreKept() {
    assertEquals(IDispatch.LOCALE_USER_DEFAULT, wrapper.getLocale());
    assertEquals(0x409, wrapper.setLocale(0x409).getLocale());
  }

  static Stream<Arguments> nullNames() {
    return Stream.of(
        Arguments.of("invoke", (Call) w -> w.invoke((String) null)),
        Arguments.of("get", (Call) w -> w.get(null)),
        Arguments.of("put", (Call) w -> w.put(null, 1)),
        Arguments.of("getIDsOfNames(null)", (Call) w -> w.getIDsOfNames((String[]) null)),
        Arguments.of("getIDsOfNames(a, null)", (Call) w -> w.getIDsOfNames("a", null)),
        Arguments.of("queryInterface(null)", (Call) w -> w.queryInterface(null)));
  }

  interface Call {
    void on(IDispatchImpl wrapper);
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("nullNames")
  void nullNamesAreRefusedBeforeReachingCom(String what, Call call) {
    Executable e = () -> call.on(wrapper);
    assertThrows(NullPointerException.class, e);
  }

  @Test
  void aZeroPointerIsNeverWrapped() {
    assertThrows(IllegalArgumentException.class, () -> new IUnknownImpl(0));
  }
}
