package com.qel.vandrel.com.win32;

/** A by-reference {@code long} cell ({@code VT_I8}), initially 0. */
public final class RefLong extends RefContainer {
  /** Allocates a cell holding 0. */
  public RefLong() {
    super(false);
  }

  /**
   * Allocates a cell holding {@code value}.
   *
   * @param value the value
   */
  public RefLong(long value) {
    this();
    set(value);
  }

  /**
   * Reads the cell.
   *
   * @throws IllegalStateException after {@link #close()}
   * @return the value in the cell
   */
  public long get() {
    return readLong();
  }

  /**
   * Writes the cell.
   *
   * @throws IllegalStateException after {@link #close()}
   * @param value the value
   */
  public void set(long value) {
    writeLong(value);
  }
}
