package com.qel.vandrel.com.win32;

/** A by-reference {@code float} cell ({@code VT_R4}), initially 0. */
public final class RefFloat extends RefContainer {
  /** Allocates a cell holding 0. */
  public RefFloat() {
    super(false);
  }

  /**
   * Allocates a cell holding {@code value}.
   *
   * @param value the value
   */
  public RefFloat(float value) {
    this();
    set(value);
  }

  /**
   * Reads the cell.
   *
   * @throws IllegalStateException after {@link #close()}
   * @return the value in the cell
   */
  public float get() {
    return readFloat();
  }

  /**
   * Writes the cell.
   *
   * @throws IllegalStateException after {@link #close()}
   * @param value the value
   */
  public void set(float value) {
    writeFloat(value);
  }
}
