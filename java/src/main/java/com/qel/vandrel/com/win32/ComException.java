package com.qel.vandrel.com.win32;

/** A COM call failed. */
public class ComException extends RuntimeException {
  private static final long serialVersionUID = 1L;

  /**
   * Creates the exception with a description of the failure.
   *
   * @param message the message
   */
  public ComException(String message) {
    super(message);
  }
}
