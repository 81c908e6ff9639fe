package com.qel.vandrel.com.win32;

/** A by-reference {@code double} cell ({@code VT_R8}), initially 0. */
public final class RefDouble extends RefContainer {
  /** Allocates a cell holding 0. */
  public RefDouble() {
    super(false);
  }

  /**
   * Allocates a cell holding {@code value}.
   *
   * @param value the value
   */
  public RefDouble(double value) {
    this();
    set(value);
  }

  /**
   * Reads the cell.
   *
   * @throws IllegalStateException after {@link #close()}
   * @return the value in the cell
   */
  public double get() {
    return readDouble();
  }

  /**
   * Writes the cell.
   *
   * @throws IllegalStateException after {@link #close()}
   * @param value the value
   */
  public void set(double value) {
    writeDouble(value);
  }
}
