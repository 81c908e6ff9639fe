package com.qel.vandrel.com.win32;

/**
 * A by-reference {@code byte} cell ({@code VT_UI1}), initially 0. COM sees the eight bits as an
 * unsigned value; Java reads them back signed.
 */
public final class RefByte extends RefContainer {
  /** Allocates a cell holding 0. */
  public RefByte() {
    super(false);
  }

  /**
   * Allocates a cell holding {@code value}.
   *
   * @param value the value
   */
  public RefByte(byte value) {
    this();
    set(value);
  }

  /**
   * Reads the cell.
   *
   * @throws IllegalStateException after {@link #close()}
   * @return the value in the cell
   */
  public byte get() {
    return readByte();
  }

  /**
   * Writes the cell.
   *
   * @throws IllegalStateException after {@link #close()}
   * @param value the value
   */
  public void set(byte value) {
    writeByte(value);
  }
}
