package com.qel.vandrel.com.win32;

import java.io.Serializable;

/**
 * An error code carried as a value ({@code VT_ERROR}), for instance the result of an automation
 * call that returns an error rather than failing. {@code DISP_E_PARAMNOTFOUND} is represented by
 * {@link Missing#VALUE} instead.
 */
public final class ComError implements Serializable {
  private static final long serialVersionUID = 1L;

  /** The error code this object stands for. */
  private final int scode;

  /**
   * Creates the value for an {@code SCODE}.
   *
   * @param scode the scode
   */
  public ComError(int scode) {
    this.scode = scode;
  }

  /**
   * The {@code SCODE}.
   *
   * @return the {@code SCODE}
   */
  public int getScode() {
    return scode;
  }

  @Override
  public boolean equals(Object other) {
    return other instanceof ComError && ((ComError) other).scode == scode;
  }

  @Override
  public int hashCode() {
    return scode;
  }

  @Override
  public String toString() {
    return String.format("ComError(0x%08X)", scode);
  }
}
