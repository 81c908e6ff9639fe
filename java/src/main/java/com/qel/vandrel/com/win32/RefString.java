package com.qel.vandrel.com.win32;

/**
 * A by-reference string cell ({@code VT_BSTR}), initially null. The cell owns its {@code BSTR}:
 * {@link #set(String)} frees the previous one, {@link #close()} the last one.
 *
 * <p>The cell is used by one call or accessor at a time: while a call that was given the cell
 * runs, {@link #get()} and {@link #set(String)} on other threads wait for it to return (see
 * {@link RefContainer}).
 */
public final class RefString extends RefContainer {
  /** Allocates a cell holding a null string. */
  public RefString() {
    super(true);
  }

  /**
   * Allocates a cell holding {@code value}.
   *
   * @param value the value
   */
  public RefString(String value) {
    this();
    set(value);
  }

  /**
   * Reads the cell.
   *
   * @return the string, null for a null {@code BSTR}
   * @throws IllegalStateException after {@link #close()}
   */
  public String get() {
    return readString();
  }

  /**
   * Writes the cell, freeing the string it held.
   *
   * @param value the new string; null stores a null {@code BSTR}
   * @throws IllegalStateException after {@link #close()}
   */
  public void set(String value) {
    writeString(value);
  }
}
