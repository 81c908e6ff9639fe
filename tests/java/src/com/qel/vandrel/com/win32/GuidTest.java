package com.qel.vandrel.com.win32;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;

import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.ValueSource;

class GuidTest {
  @ParameterizedTest(name = "{0}")
  @CsvSource({
    // text,                                   high,               low,                canonical
    "{00020400-0000-0000-C000-000000000046}, 0002040000000000, C000000000000046, {00020400-0000-0000-C000-000000000046}",
    "{00000000-0000-0000-C000-000000000046}, 0000000000000000, C000000000000046, {00000000-0000-0000-C000-000000000046}",
    "{5e1a0000-0000-4a11-9000-0000000000ab}, 5E1A000000004A11, 90000000000000AB, {5E1A0000-0000-4A11-9000-0000000000AB}",
    "12345678-9ABC-DEF0-1122-334455667788,   123456789ABCDEF0, 1122334455667788, {12345678-9ABC-DEF0-1122-334455667788}",
    "{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}, FFFFFFFFFFFFFFFF, FFFFFFFFFFFFFFFF, {FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}",
  })
  void parsesTheRegistryFormIntoTheTwoHalves(String text, String high, String low, String canonical) {
    Guid guid = Guid.parse(text);
    assertEquals(Long.parseUnsignedLong(high, 16), guid.getHigh(), "high half");
    assertEquals(Long.parseUnsignedLong(low, 16), guid.getLow(), "low half");
    assertEquals(canonical, guid.toString());
    assertEquals(guid, Guid.parse(guid.toString()));
    assertEquals(guid.hashCode(), Guid.parse(canonical).hashCode());
  }

  @ParameterizedTest(name = "\"{0}\"")
  @ValueSource(
      strings = {
        "",
        "{}",
        "{00020400-0000-0000-C000-00000000004}", // one digit short
        "{00020400-0000-0000-C000-0000000000460}", // one digit long
        "{00020400-0000-0000-C000-000000000046", // unbalanced brace
        "00020400-0000-0000-C000-000000000046}",
        "{00020400_0000-0000-C000-000000000046}", // wrong separator
        "{0002040-00000-0000-C000-000000000046}", // separator misplaced
        "{0002040G-0000-0000-C000-000000000046}", // not hex
        "{+0020400-0000-0000-C000-000000000046}", // sign
        "{０0020400-0000-0000-C000-000000000046}", // non-ASCII digit
        "(00020400-0000-0000-C000-000000000046)",
      })
  void refusesWhatIsNotAGuid(String text) {
    IllegalArgumentException e =
        assertThrows(IllegalArgumentException.class, () -> Guid.parse(text));
    assertEquals(true, e.getMessage().contains(text), e.getMessage());
  }

  @Test
  void refusesNullWithNullPointerException() {
    assertThrows(NullPointerException.class, () -> Guid.parse(null));
  }

  @Test
  void interfaceIdentifiersOfTheApiAreTheWellKnownOnes() {
    assertEquals(new Guid(0x0002040000000000L, 0xC000000000000046L), IDispatch.IID);
    assertEquals(new Guid(0L, 0xC000000000000046L), IUnknown.IID);
  }
}
