package com.qel.vandrel.com.win32;

/**
 * An omitted optional argument.
 *
 * <p>Passing {@link #VALUE} leaves a parameter out while still giving later ones; COM sees {@code
 * VT_ERROR} with {@code DISP_E_PARAMNOTFOUND}. The same value comes back from COM when a result
 * holds that error code.
 */
public final class Missing {
  /** The one instance. */
  public static final Missing VALUE = new Missing();

  private Missing() {}

  @Override
  public String toString() {
    return "Missing";
  }
}
