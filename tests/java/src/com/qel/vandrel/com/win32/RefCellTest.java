package com.qel.vandrel.com.win32;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;

import com.qel.vandrel.testserver.TestServer;
import java.util.function.Function;
import java.util.function.Supplier;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/** By-reference cells: written by a COM callee, read back in Java, and their own storage. */
class RefCellTest extends AutomationFixture {
  private static Arguments row(String label, Supplier<RefContainer> cell, Object value, int vts,
      Function<RefContainer, Object> read, Object expected) {
    return Arguments.of(label, cell, value, vts, read, expected);
  }

  static Stream<Arguments> writes() {
    Function<RefContainer, Object> readString = c -> ((RefString) c).get();
    return Stream.of(row("RefInt", RefInt::new, 42, VT_BYREF | VT_I4, c -> ((RefInt) c).get(), 42),
        row("RefShort", RefShort::new, -7, VT_BYREF | VT_I2, c -> ((RefShort) c).get(), (short) -7),
        row("RefByte", RefByte::new, 200, VT_BYREF | VT_UI1, c -> ((RefByte) c).get(), (byte) -56),
        row("RefLong", RefLong::new, 1L << 40, VT_BYREF | VT_I8,
            c -> ((RefLong) c).get(), 1L << 40),
        row("RefFloat", RefFloat::new, 1.25f, VT_BYREF | VT_R4, c -> ((RefFloat) c).get(), 1.25f),
        row("RefDouble from an Integer",
            () -> new RefDouble(3.5), 2, VT_BYREF | VT_R8, c -> ((RefDouble) c).get(), 2.0),
        row("RefString from null", RefString::new, "new text", VT_BYREF | VT_BSTR, readString,
            "new text"),
        row("RefString replacing a string",
            () -> new RefString("old"), "replaced", VT_BYREF | VT_BSTR, readString, "replaced"),
        row("RefString set empty",
            () -> new RefString("old"), "", VT_BYREF | VT_BSTR, readString, ""));
  }

  @ParameterizedTest(name = "{0}")
  @MethodSource("writes")
  void theCalleeWritesThroughTheCell(String label, Supplier<RefContainer> make, Object value,
      int refVt, Function<RefContainer, Object> read, Object expected) {
    int bstrs = TestServer.liveBstrs();
    try (RefContainer cell = make.get()) {
      automation.invoke("SetRef", cell, value);

      // rgvarg[0] is the value, rgvarg[1] the reference.
      assertEquals(refVt, lastCallTypes()[1]);
      assertEquals(expected, read.apply(cell));
      // A replaced string was freed by the callee: a string cell holds exactly one BSTR.
      assertEquals(bstrs + (cell instanceof RefString ? 1 : 0), TestServer.liveBstrs());
    }
  }

  private int[] lastCallTypes() {
    String call = lastCall();
    return Stream.of(call.substring(call.indexOf("vt=") + 3).split(","))
        .mapToInt(Integer::parseInt)
        .toArray();
  }

  @Test
  void aRefusedWriteLeavesTheCellAlone() {
    try (RefInt cell = new RefInt(3)) {
      DispatchException e =
          assertThrows(DispatchException.class, () -> automation.invoke("SetRef", cell, "text"));
      assertEquals("Failed(0x80020005), FACILITY:2, CODE:5.", e.getMessage());
      assertEquals(3, cell.get());
    }
  }

  @Test
  void theCalleeReadsTheCellsCurrentValue() {
    try (RefInt number = new RefInt(5); RefString text = new RefString("a\0b")) {
      assertEquals(5, automation.invoke("Echo", number));
      assertEquals("a\0b", automation.invoke("Echo", text));
      number.set(6);
      assertEquals(6, automation.invoke("Echo", number));
    }
  }

  @Test
  void anEmptyStringCellEchoesAsTheEmptyString() {
    try (RefString empty = new RefString()) {
      assertEquals("", automation.invoke("Echo", empty), "a null BSTR comes back as \"\"");
      assertNull(empty.get());
    }
  }

  @Test
  void aClosedCellRefusesAccess() {
    RefString text = new RefString("bye");
    text.close();
    text.close();
    assertThrows(IllegalStateException.class, text::get);
    assertThrows(IllegalStateException.class, () -> automation.invoke("Echo", text));
  }

  @Test
  void rawCellsAreLittleEndianAndTouchOnlyTheirWidth() {
    long cell = RefContainer._calloc(8);
    assertNotEquals(0, cell);
    try {
      assertEquals(0L, RefContainer._getValueByLong(cell));
      assertFalse(RefContainer._getValueByBoolean(cell));
      assertNull(RefContainer._getValueByBStrPtr(cell));

      RefContainer._setValueForInt(cell, -2);
      assertEquals((short) -2, RefContainer._getValueByShort(cell));
      assertEquals((byte) -2, RefContainer._getValueByByte(cell));

      RefContainer._setValueForLong(cell, 300);
      assertEquals((short) 300, RefContainer._getValueByShort(cell));
      assertEquals((byte) 44, RefContainer._getValueByByte(cell));

      RefContainer._setValueForLong(cell, 0);
      RefContainer._setValueForBoolean(cell, true);
      assertEquals((short) 1, RefContainer._getValueByShort(cell));

      RefContainer._setValueForDouble(cell, -0.5);
      assertEquals(-0.5, RefContainer._getValueByDouble(cell));
      RefContainer._setValueForFloat(cell, 1.5f);
      assertEquals(1.5f, RefContainer._getValueByFloat(cell));
      RefContainer._setValueForVoidPtr(cell, 0x1234_5678_9ABC_DEF0L);
      assertEquals(0x1234_5678_9ABC_DEF0L, RefContainer._getValueByIUnknown(cell));
    } finally {
      RefContainer._free(cell);
    }
    assertEquals(0, RefContainer._calloc(-1), "a negative size is a request that fails");
  }

  @Test
  void stringCellsOwnOneBstr() {
    int bstrs = TestServer.liveBstrs();
    long cell = RefContainer._calloc(8);
    try {
      RefContainer._setValueForBStrPtr(cell, "");
      assertEquals("", RefContainer._getValueByBStrPtr(cell));
      RefContainer._setValueForBStrPtr(cell, "x\0y");
      assertEquals("x\0y", RefContainer._getValueByBStrPtr(cell));
      assertEquals(bstrs + 1, TestServer.liveBstrs(), "the first string was freed");
      RefContainer._setValueForBStrPtr(cell, null);
      assertNull(RefContainer._getValueByBStrPtr(cell));
      assertEquals(bstrs, TestServer.liveBstrs());
    } finally {
      RefContainer._free(cell);
    }
  }
}
