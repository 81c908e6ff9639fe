package com.qel.vandrel.com.win32;

/**
 * A late-bound call through {@code IDispatch} failed: unknown member, wrong arguments, or an
 * exception raised by the object. For an exception raised by the object ({@code
 * DISP_E_EXCEPTION}) its description ends the message and {@link #getExceptionInfo()} gives
 * every field the object filled in.
 */
public class DispatchException extends ComException {
  /** Version of the serialized form. */
  private static final long serialVersionUID = 1L;

  /** The called object's exception record; null when the failure was not DISP_E_EXCEPTION. */
  private final ExceptionInfo info;

  /**
   * Creates the exception for a failure that has no {@code HRESULT}.
   *
   * @param message a description of the failure
   */
  public DispatchException(String message) {
    this(message, 0);
  }

  /**
   * Creates the exception for a failed {@code HRESULT}.
   *
   * @param message a description of the failure
   * @param hresult the {@code HRESULT} the failing call returned
   */
  public DispatchException(String message, int hresult) {
    super(message, hresult);
    this.info = null;
  }

  /**
   * Creates the exception for an exception the called object raised; the native library makes it
   * from the object's {@code EXCEPINFO}.
   *
   * @param message a description of the failure
   * @param hresult the {@code HRESULT} of the call, {@code DISP_E_EXCEPTION}
   * @param source the {@code bstrSource} field, or null
   * @param description the {@code bstrDescription} field, or null
   * @param helpFile the {@code bstrHelpFile} field, or null
   * @param helpContext the {@code dwHelpContext} field
   * @param wCode the {@code wCode} field (0 when the object gave an {@code scode})
   * @param scode the {@code scode} field (0 when the object gave a {@code wCode})
   */
  public DispatchException(
      String message,
      int hresult,
      String source,
      String description,
      String helpFile,
      int helpContext,
      int wCode,
      int scode) {
    super(message, hresult);
    this.info = new ExceptionInfo(source, description, helpFile, helpContext, wCode, scode);
  }

  /**
   * Returns what the called object told of the exception it raised.
   *
   * @return the exception record, or null when the failure was not {@code DISP_E_EXCEPTION}
   */
  public ExceptionInfo getExceptionInfo() {
    return info;
  }
}
