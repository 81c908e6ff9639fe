package com.qel.vandrel.com.win32;

/**
 * A COM call failed.
 *
 * <p>A failure that came from an {@code HRESULT} carries it exactly ({@link #getHResult()}). The
 * message is the library's text for the failure; when the Java API knows the member or the object
 * whose call failed, {@link #getMember()} names it and {@link #getLocalizedMessage()} (and so
 * {@link #toString()} and stack traces) put it in front, as in {@code "Echo: Failed(0x80020009),
 * ..."}.
 */
public class ComException extends RuntimeException {
  private static final long serialVersionUID = 1L;

  /** The failure's {@code HRESULT}, 0 when it has none. */
  private final int hresult;
  /** The member whose call failed, null when unknown; set once by {@link #initMember}. */
  private String member;

  /**
   * Creates the exception for a failure that has no {@code HRESULT}.
   *
   * @param message a description of the failure
   */
  public ComException(String message) {
    this(message, 0);
  }

  /**
   * Creates the exception for a failed {@code HRESULT}.
   *
   * @param message a description of the failure
   * @param hresult the {@code HRESULT} the failing call returned
   */
  public ComException(String message, int hresult) {
    super(message);
    this.hresult = hresult;
  }

  /**
   * Returns the {@code HRESULT} of the failure exactly as COM reported it, for instance {@code
   * 0x80020009} ({@code DISP_E_EXCEPTION}) or {@code 1} ({@code S_FALSE} where success was
   * required).
   *
   * @return the code, or 0 when the failure did not come from an {@code HRESULT} (a value that
   *     could not be converted, an access violation in the called object)
   */
  public int getHResult() {
    return hresult;
  }

  /**
   * Returns the {@code HRESULT}'s facility, bits 16 to 28.
   *
   * @return the facility, 0 when there is no {@code HRESULT}
   */
  public int getFacility() {
    return (hresult >> 16) & 0x1FFF;
  }

  /**
   * Returns the {@code HRESULT}'s code, its low 16 bits.
   *
   * @return the code, 0 when there is no {@code HRESULT}
   */
  public int getCode() {
    return hresult & 0xFFFF;
  }

  /**
   * Records the member (or object) whose call failed. Only the first call counts, as with {@link
   * #initCause(Throwable)}; the Java API of this package makes it.
   *
   * @param member the member name, for instance {@code "Echo"}
   * @return this exception
   */
  public synchronized ComException initMember(String member) {
    if (this.member == null) {
      this.member = member;
    }
    return this;
  }

  /**
   * Returns the member (or object) whose call failed, when the Java API knows it.
   *
   * @return the member name, or null
   */
  public synchronized String getMember() {
    return member;
  }

  /**
   * Returns the message with the failed member in front ({@code "Echo: ..."}) when it is known;
   * {@link #getMessage()} keeps the library's text alone.
   *
   * @return the message a reader of a log or stack trace is shown
   */
  @Override
  public String getLocalizedMessage() {
    String name = getMember();
    return name == null ? getMessage() : name + ": " + getMessage();
  }
}
