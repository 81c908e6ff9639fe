package com.qel.vandrel.com.win32;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.stream.Stream;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;
import org.junit.jupiter.api.Test;

/** Item-style properties: put(name, index..., value) and reading the value back. */
class IndexedPutTest extends AutomationFixture {
  static Stream<Arguments> values() {
    return Stream.of(Arguments.of(0, "text"), Arguments.of(1, 42), Arguments.of(2, 2.5),
        Arguments.of(1, null), Arguments.of(0, new String[] {"an", "array"}));
  }

  @ParameterizedTest(name = "Item({0}) = {1}")
  @MethodSource("values")
  void anIndexedPutStoresTheValueAtItsIndex(int index, Object value) {
    automation.put("Item", index, value);
    // One index, then the value as the named DISPID_PROPERTYPUT argument in rgvarg[0].
    assertTrue(lastCall().matches("dispid=\\d+ flags=4 cArgs=2 cNamed=1 named=-3 .*"), lastCall());
    Object back = automation.get("Item", index);
    if (value instanceof Object[]) {
      assertEquals(java.util.Arrays.asList((Object[]) value),
          java.util.Arrays.asList((Object[]) back));
    } else {
      assertEquals(value, back);
    }
  }

  @Test
  void aRefCellIsPutByReference() {
    try (RefInt cell = new RefInt(7)) {
      // Item takes puts by value only: the object refuses PUTREF as no such member.
      DispatchException e =
          assertThrows(DispatchException.class, () -> automation.put("Item", 1, cell));
      assertEquals(0x80020003, e.getHResult());
      assertTrue(lastCall().matches("dispid=\\d+ flags=8 cArgs=2 cNamed=1 named=-3 .*"),
          lastCall());
    }
  }

  @Test
  void aBadIndexIsReportedWithItsCodeAndMember() {
    DispatchException e =
        assertThrows(DispatchException.class, () -> automation.put("Item", 99, "x"));
    assertEquals(0x8002000b, e.getHResult()); // DISP_E_BADINDEX
    assertEquals("Failed(0x8002000b), FACILITY:2, CODE:11.", e.getMessage());
    assertEquals("Item", e.getMember());
  }

  @Test
  void twoIndexesTravelBeforeTheValue() {
    // Item takes one index: the object refuses a second one by its count.
    DispatchException e =
        assertThrows(DispatchException.class, () -> automation.put("Item", 0, 1, "x"));
    assertEquals(0x8002000e, e.getHResult()); // DISP_E_BADPARAMCOUNT
    assertTrue(lastCall().matches("dispid=\\d+ flags=4 cArgs=3 cNamed=1 named=-3 .*"), lastCall());
  }
}
