package com.qel.vandrel.com.win32.impl;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.qel.vandrel.com.win32.IDispatch;
import com.qel.vandrel.com.win32.RefInt;
import com.qel.vandrel.com.win32.RefString;
import java.util.function.BiFunction;
import java.util.stream.Stream;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * Which resources an automation call holds: every wrapper and cell among its arguments, at any
 * depth of reference arrays. A held wrapper refuses to be handed over and a held cell stays
 * allocated after its close; both prove the hold without any COM call. The wrapper's pointer is a
 * dummy that never reaches COM (it is detached again).
 */
class CallArgumentsTest {
  private final IDispatchImpl wrapper = new IDispatchImpl(0x7FFF_0000_2000L);
  private final RefInt cell = new RefInt(1);

  @AfterEach
  void detachTheDummy() {
    if (!wrapper.isClosed()) {
      wrapper.detach();
    }
    cell.close();
  }

  private static Arguments shape(String name, BiFunction<IDispatch, RefInt, Object> make) {
    return Arguments.of(name, make);
  }

  static Stream<Arguments> shapes() {
    return Stream.of(
        shape("flat", (w, c) -> new Object[] {"x", w, 2, c}),
        shape("in an Object[]", (w, c) -> new Object[] {new Object[] {w, new Object[] {c}}}),
        shape("typed arrays", (w, c) -> new Object[] {new IDispatch[] {w}, new RefInt[] {c}}),
        shape("in an Object[][]", (w, c) -> new Object[] {new Object[][] {{1}, {w, c}}}),
        shape("beside arrays that hold none", (w, c) -> new Object[] {
          new String[] {"a"}, new int[] {1}, new String[][] {{"b"}}, w, c}),
        shape("in an array that contains itself", (w, c) -> {
          Object[] loop = new Object[3];
          loop[0] = loop;
          loop[1] = new Object[] {loop, w};
          loop[2] = c;
          return new Object[] {loop};
        }),
        shape("100000 levels deep", (w, c) -> {
          Object[] deep = {w, c};
          for (int i = 0; i < 100_000; ++i) {
            deep = new Object[] {deep};
          }
          return deep;
        }));
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("shapes")
  void holdsEveryResourceOfTheArguments(String name, BiFunction<IDispatch, RefInt, Object> make) {
    Object arguments = make.apply(wrapper, cell);
    NativeResource[] held = CallArguments.enter(arguments);
    try {
      assertThrows(IllegalStateException.class, wrapper::detach, "the wrapper is held");
      long address = cell.getPtr();
      cell.close();
      assertEquals(address, cell.getPtr(), "the closed cell is still allocated");
    } finally {
      CallArguments.leave(held);
    }
    assertThrows(IllegalStateException.class, cell::getPtr, "freed by the last use");
  }

  @Test
  void aSingleValueIsHeldToo() {
    NativeResource[] held = CallArguments.enter(cell); // a property put's value
    cell.close();
    assertNotEquals(0, cell.getPtr(), "the closed cell is still allocated");
    CallArguments.leave(held);
    assertThrows(IllegalStateException.class, cell::getPtr);
  }

  @Test
  void aClosedArgumentRefusesTheCallAndHoldsNothing() {
    RefString closed = new RefString("x");
    closed.close();
    assertThrows(
        IllegalStateException.class, () -> CallArguments.enter(new Object[] {wrapper, closed}));
    assertNotEquals(0, wrapper.detach(), "the wrapper entered first was left again");
  }

  @Test
  void callsThatShareStringCellsLockThemInOneOrder() throws InterruptedException {
    // Two calls given the same two string cells in opposite orders would deadlock if each locked
    // its arguments as it found them.
    try (RefString a = new RefString("a"); RefString b = new RefString("b")) {
      Thread[] threads = new Thread[2];
      Object[][] orders = {{a, b}, {b, a}};
      for (int t = 0; t < 2; ++t) {
        Object[] order = orders[t];
        threads[t] = new Thread(() -> {
          for (int i = 0; i < 20_000; ++i) {
            CallArguments.leave(CallArguments.enter(order));
          }
        });
        threads[t].start();
      }
      for (Thread t : threads) {
        t.join(60_000);
        assertTrue(!t.isAlive(), "deadlocked");
      }
    }
  }
}
