package com.qel.vandrel.com.win32;

import java.io.Serializable;

/**
 * A COM GUID (class or interface identifier) as an immutable value.
 *
 * <p>The 128 bits are kept as two longs in the order the text shows them: {@link #getHigh()} is
 * {@code Data1 << 32 | Data2 << 16 | Data3}, {@link #getLow()} the eight {@code Data4} bytes, most
 * significant first. So {@code {00020400-0000-0000-C000-000000000046}} is high {@code
 * 0x0002040000000000L}, low {@code 0xC000000000000046L}.
 */
public final class Guid implements Serializable {
  private static final long serialVersionUID = 1L;

  // Field lengths of the registry form 8-4-4-4-12, without braces.
  private static final int[] GROUP_LENGTHS = {8, 4, 4, 4, 12};
  private static final int TEXT_LENGTH = 36;

  /** {@code Data1 << 32 | Data2 << 16 | Data3}. */
  private final long high;
  /** The eight {@code Data4} bytes, most significant first. */
  private final long low;

  /**
   * Creates a GUID from its two halves.
   *
   * @param high the high
   * @param low the low
   */
  public Guid(long high, long low) {
    this.high = high;
    this.low = low;
  }

  /**
   * Parses the registry form {@code {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}} (hex digits of either
   * case); the braces may be left out.
   *
   * @throws NullPointerException when text is null
   * @throws IllegalArgumentException when text is not a GUID
   * @param text the text
   * @return the GUID
   */
  public static Guid parse(String text) {
    if (text == null) {
      throw new NullPointerException("GUID text must not be null");
    }
    String body = text;
    if (body.startsWith("{") && body.endsWith("}") && body.length() >= 2) {
      body = body.substring(1, body.length() - 1);
    }
    if (body.length() != TEXT_LENGTH) {
      throw invalid(text);
    }
    long high = 0;
    long low = 0;
    int digits = 0;
    int pos = 0;
    for (int g = 0; g < GROUP_LENGTHS.length; ++g) {
      if (g > 0) {
        if (body.charAt(pos) != '-') {
          throw invalid(text);
        }
        ++pos;
      }
      for (int i = 0; i < GROUP_LENGTHS[g]; ++i, ++pos, ++digits) {
        int nibble = Character.digit(body.charAt(pos), 16);
        // Character.digit also accepts non-ASCII digits; GUIDs are ASCII only.
        if (nibble < 0 || body.charAt(pos) > 'f') {
          throw invalid(text);
        }
        if (digits < 16) {
          high = (high << 4) | nibble;
        } else {
          low = (low << 4) | nibble;
        }
      }
    }
    return new Guid(high, low);
  }

  private static IllegalArgumentException invalid(String text) {
    return new IllegalArgumentException(
        "Not a GUID (expected {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}): \"" + text + "\"");
  }

  /**
   * {@code Data1 << 32 | Data2 << 16 | Data3}.
   *
   * @return {@code Data1 << 32 | Data2 << 16 | Data3}
   */
  public long getHigh() {
    return high;
  }

  /**
   * The eight {@code Data4} bytes, most significant first.
   *
   * @return the eight {@code Data4} bytes, most significant first
   */
  public long getLow() {
    return low;
  }

  @Override
  public boolean equals(Object other) {
    if (!(other instanceof Guid)) {
      return false;
    }
    Guid g = (Guid) other;
    return g.high == high && g.low == low;
  }

  @Override
  public int hashCode() {
    return Long.hashCode(high) * 31 + Long.hashCode(low);
  }

  /** Returns the registry form in upper case, with braces. */
  @Override
  public String toString() {
    String h = String.format("%016X", high);
    String l = String.format("%016X", low);
    return "{"
        + h.substring(0, 8)
        + '-'
        + h.substring(8, 12)
        + '-'
        + h.substring(12, 16)
        + '-'
        + l.substring(0, 4)
        + '-'
        + l.substring(4)
        + "}";
  }
}
