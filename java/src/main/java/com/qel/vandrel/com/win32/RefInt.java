package com.qel.vandrel.com.win32;

/** A by-reference {@code int} cell ({@code VT_I4}), initially 0. */
public final class RefInt extends RefContainer {
  /** Allocates a cell holding 0. */
  public RefInt() {
    super(false);
  }

  /**
   * Allocates a cell holding {@code value}.
   *
   * @param value the value
   */
  public RefInt(int value) {
    this();
    set(value);
  }

  /**
   * Reads the cell.
   *
   * @throws IllegalStateException after {@link #close()}
   * @return the value in the cell
   */
  public int get() {
    return readInt();
  }

  /**
   * Writes the cell.
   *
   * @throws IllegalStateException after {@link #close()}
   * @param value the value
   */
  public void set(int value) {
    writeInt(value);
  }
}
