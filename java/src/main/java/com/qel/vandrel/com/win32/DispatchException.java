package com.qel.vandrel.com.win32;

/**
 * A late-bound call through {@code IDispatch} failed: unknown member, wrong arguments, or an
 * exception raised by the object (its source and description are in the message).
 */
public class DispatchException extends ComException {
  private static final long serialVersionUID = 1L;

  /**
   * Creates the exception with a description of the failure.
   *
   * @param message the message
   */
  public DispatchException(String message) {
    super(message);
  }
}
