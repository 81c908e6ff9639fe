package com.qel.vandrel.com.win32;

import java.io.Serializable;

/**
 * The fields of the {@code EXCEPINFO} record an automation object fills in when it raises an
 * exception ({@code DISP_E_EXCEPTION}); read from {@link DispatchException#getExceptionInfo()}.
 */
public final class ExceptionInfo implements Serializable {
  private static final long serialVersionUID = 1L;

  /** The {@code bstrSource} field, or null. */
  private final String source;
  /** The {@code bstrDescription} field, or null. */
  private final String description;
  /** The {@code bstrHelpFile} field, or null. */
  private final String helpFile;
  /** The {@code dwHelpContext} field. */
  private final int helpContext;
  /** The {@code wCode} field. */
  private final int wCode;
  /** The {@code scode} field. */
  private final int scode;

  /**
   * Creates the record.
   *
   * @param source the source of the exception, or null
   * @param description its description, or null
   * @param helpFile the path of a help file, or null
   * @param helpContext the help context in that file
   * @param wCode the object's own error number, 0 when it gave an {@code scode}
   * @param scode the object's {@code SCODE}, 0 when it gave a {@code wCode}
   */
  public ExceptionInfo(
      String source, String description, String helpFile, int helpContext, int wCode, int scode) {
    this.source = source;
    this.description = description;
    this.helpFile = helpFile;
    this.helpContext = helpContext;
    this.wCode = wCode & 0xFFFF;
    this.scode = scode;
  }

  /**
   * Returns the source of the exception, usually the object's ProgID or application name.
   *
   * @return the source, or null
   */
  public String getSource() {
    return source;
  }

  /**
   * Returns the description of the exception.
   *
   * @return the description, or null
   */
  public String getDescription() {
    return description;
  }

  /**
   * Returns the path of the help file that explains the exception.
   *
   * @return the path, or null
   */
  public String getHelpFile() {
    return helpFile;
  }

  /**
   * Returns the help context of the exception in the help file.
   *
   * @return the help context, 0 when none was given
   */
  public int getHelpContext() {
    return helpContext;
  }

  /**
   * Returns the object's own error number ({@code wCode}, 0 to 65535).
   *
   * @return the number, 0 when the object gave an {@code scode} instead
   */
  public int getWCode() {
    return wCode;
  }

  /**
   * Returns the object's {@code SCODE} for the exception.
   *
   * @return the code, 0 when the object gave a {@code wCode} instead
   */
  public int getScode() {
    return scode;
  }

  /**
   * Names every field that was filled in.
   *
   * @return a text such as {@code ExceptionInfo(source=..., description=..., scode=0x80004005)}
   */
  @Override
  public String toString() {
    return String.format(
        "ExceptionInfo(source=%s, description=%s, helpFile=%s, helpContext=%d, wCode=%d,"
            + " scode=0x%08X)",
        source, description, helpFile, helpContext, wCode, scode);
  }
}
