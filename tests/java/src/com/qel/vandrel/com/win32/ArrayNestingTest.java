package com.qel.vandrel.com.win32;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertInstanceOf;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.qel.vandrel.testserver.TestServer;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.ValueSource;

/**
 * Arrays nested in arrays, both ways: up to the nesting limit they convert (each level once),
 * beyond it and when an array contains itself they are refused with a message.
 */
class ArrayNestingTest extends AutomationFixture {
  private static final int LIMIT = 255;
  private static final String TOO_DEEP = " nesting deeper than 255 levels is refused: 255 is the "
      + "most dimensions a Java array type has, and every level costs native stack.";

  /** {@code depth} levels of one-element Object[]s around the Integer depth. */
  private static Object[] nested(int depth) {
    Object[] level = {depth};
    for (int i = 1; i < depth; ++i) {
      level = new Object[] {level};
    }
    return level;
  }

  /** The depth of a nesting made by {@link #nested} or MakeNestedArray, checking its shape. */
  private static int depthOf(Object value) {
    int depth = 0;
    while (value instanceof Object[]) {
      Object[] level = (Object[]) value;
      assertEquals(1, level.length);
      value = level[0];
      ++depth;
    }
    assertEquals(depth, value);
    return depth;
  }

  @Test
  void aNestingAtTheLimitRoundTripsConvertingEachLevelOnce() {
    int created = TestServer.createdSafeArrays();
    Object echoed = automation.invoke("Echo", (Object) nested(LIMIT));
    // One array per level made by the argument's conversion, one per level by the object's copy;
    // the result is read where it lies.
    assertEquals(2 * LIMIT, TestServer.createdSafeArrays() - created);
    assertEquals(LIMIT, depthOf(echoed));
    assertEquals(LIMIT, depthOf(automation.invoke("MakeNestedArray", LIMIT)));
  }

  @Test
  void anArgumentNestedOnePastTheLimitIsRefusedBeforeInvoke() {
    automation.invoke("Echo", 1);
    String before = lastCall();
    DispatchException e = assertThrows(
        DispatchException.class, () -> automation.invoke("Echo", (Object) nested(LIMIT + 1)));
    assertEquals(DispatchException.class, e.getClass());
    assertEquals("Array" + TOO_DEEP, e.getMessage());
    assertEquals(before, lastCall(), "Invoke was not called");
  }

  @ParameterizedTest(name = "MakeNestedArray({0})")
  @ValueSource(ints = {LIMIT + 1, 5000})
  void aResultNestedPastTheLimitIsRefused(int depth) {
    DispatchVariant2JavaException e = assertThrows(
        DispatchVariant2JavaException.class, () -> automation.invoke("MakeNestedArray", depth));
    assertEquals("SAFEARRAY" + TOO_DEEP, e.getMessage());
    assertEquals(0, e.getVariantHandle(), "no copy of a nesting that deep");
  }

  @Test
  void anArrayThatContainsItselfIsRefused() {
    Object[] self = new Object[1];
    self[0] = self;
    Object[] outer = new Object[2];
    outer[0] = "x";
    outer[1] = new Object[] {1, outer};
    for (Object[] value : new Object[][] {self, outer, new Object[] {self}}) {
      DispatchException e =
          assertThrows(DispatchException.class, () -> automation.invoke("Echo", (Object) value));
      assertTrue(e.getMessage().contains("contains itself"), e.getMessage());
    }
    // An array that appears twice side by side contains nothing of itself.
    int[] shared = {4};
    Object[] twice = assertInstanceOf(
        Object[].class, automation.invoke("Echo", (Object) new Object[] {shared, shared}));
    assertEquals(2, twice.length);
  }
}
