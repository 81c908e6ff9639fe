package com.qel.vandrel.com.win32;

import java.util.HashMap;
import java.util.Map;

/** Names of the {@code HRESULT}s a caller of this package meets most, for messages. */
final class HResults {
  /** Symbolic names by code. */
  private static final Map<Integer, String> NAMES = new HashMap<>();

  static {
    String[][] table = {
      {"00000001", "S_FALSE"},
      {"80004001", "E_NOTIMPL"},
      {"80004002", "E_NOINTERFACE"},
      {"80004003", "E_POINTER"},
      {"80004005", "E_FAIL"},
      {"8000FFFF", "E_UNEXPECTED"},
      {"8007000E", "E_OUTOFMEMORY"},
      {"80070057", "E_INVALIDARG"},
      {"80020003", "DISP_E_MEMBERNOTFOUND"},
      {"80020004", "DISP_E_PARAMNOTFOUND"},
      {"80020005", "DISP_E_TYPEMISMATCH"},
      {"80020006", "DISP_E_UNKNOWNNAME"},
      {"80020009", "DISP_E_EXCEPTION"},
      {"8002000E", "DISP_E_BADPARAMCOUNT"},
      {"80040110", "CLASS_E_NOAGGREGATION"},
      {"80040111", "CLASS_E_CLASSNOTAVAILABLE"},
      {"80040154", "REGDB_E_CLASSNOTREG"},
      {"800401E3", "MK_E_UNAVAILABLE"},
      {"800401E4", "MK_E_SYNTAX"},
      {"800401E5", "MK_E_NOOBJECT"},
      {"800401F0", "CO_E_NOTINITIALIZED"},
      {"800401F3", "CO_E_CLASSSTRING"},
      {"80080005", "CO_E_SERVER_EXEC_FAILURE"},
    };
    for (String[] row : table) {
      NAMES.put(Integer.parseUnsignedInt(row[0], 16), row[1]);
    }
  }

  /** Not instantiated. */
  private HResults() {}

  /**
   * Describes a code for a message.
   *
   * @param hr the {@code HRESULT}
   * @return {@code 0x80040154 (REGDB_E_CLASSNOTREG)}, or the bare hexadecimal code for a code
   *     without a name here
   */
  static String describe(int hr) {
    String name = NAMES.get(hr);
    String code = String.format("0x%08x", hr);
    return name == null ? code : code + " (" + name + ")";
  }
}
