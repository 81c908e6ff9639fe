package com.qel.vandrel.com.win32;

/** A by-reference {@code short} cell ({@code VT_I2}), initially 0. */
public final class RefShort extends RefContainer {
  /** Allocates a cell holding 0. */
  public RefShort() {
    super(false);
  }

  /**
   * Allocates a cell holding {@code value}.
   *
   * @param value the value
   */
  public RefShort(short value) {
    this();
    set(value);
  }

  /**
   * Reads the cell.
   *
   * @throws IllegalStateException after {@link #close()}
   * @return the value in the cell
   */
  public short get() {
    return readShort();
  }

  /**
   * Writes the cell.
   *
   * @throws IllegalStateException after {@link #close()}
   * @param value the value
   */
  public void set(short value) {
    writeShort(value);
  }
}
