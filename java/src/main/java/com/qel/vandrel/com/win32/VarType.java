package com.qel.vandrel.com.win32;

import java.util.Locale;

/**
 * The names of {@code VARIANT} types, as the messages of this package print them: the type's
 * name, then its value in hexadecimal, as in {@code VT_DECIMAL (0xE)} or {@code VT_ARRAY | VT_I4
 * (0x2003)}.
 */
public final class VarType {
  // Indexed by the base type (the low 12 bits); null where Windows defines no type.
  private static final String[] BASE = {
    "VT_EMPTY", "VT_NULL", "VT_I2", "VT_I4", "VT_R4", "VT_R8", "VT_CY", "VT_DATE", "VT_BSTR",
    "VT_DISPATCH", "VT_ERROR", "VT_BOOL", "VT_VARIANT", "VT_UNKNOWN", "VT_DECIMAL", null, "VT_I1",
    "VT_UI1", "VT_UI2", "VT_UI4", "VT_I8", "VT_UI8", "VT_INT", "VT_UINT", "VT_VOID", "VT_HRESULT",
    "VT_PTR", "VT_SAFEARRAY", "VT_CARRAY", "VT_USERDEFINED", "VT_LPSTR", "VT_LPWSTR", null, null,
    null, null, "VT_RECORD", "VT_INT_PTR", "VT_UINT_PTR"
  };

  // From 64 on.
  private static final String[] OBJECT_BASE = {
    "VT_FILETIME", "VT_BLOB", "VT_STREAM", "VT_STORAGE", "VT_STREAMED_OBJECT", "VT_STORED_OBJECT",
    "VT_BLOB_OBJECT", "VT_CF", "VT_CLSID", "VT_VERSIONED_STREAM"
  };

  // The flag bits from 0x1000 up, in the order the names are printed.
  private static final String[] FLAG_NAMES = {"VT_VECTOR", "VT_ARRAY", "VT_BYREF", "VT_RESERVED"};

  private VarType() {}

  /**
   * Returns the name of a {@code VARTYPE} with its value: {@code VT_DECIMAL (0xE)}, {@code
   * VT_BYREF | VT_VARIANT (0x400C)}. A base type Windows does not define prints as {@code
   * unknown}, as in {@code VT_ARRAY | unknown (0x200F)}.
   *
   * @param vt the type, a 16-bit value (higher bits are ignored)
   * @return the name and the value in hexadecimal
   */
  public static String name(int vt) {
    vt &= 0xFFFF;
    String hex = " (0x" + Integer.toHexString(vt).toUpperCase(Locale.ROOT) + ")";
    if (vt == 0xFFFF) {
      return "VT_ILLEGAL" + hex;
    }
    StringBuilder name = new StringBuilder();
    for (int i = 0; i < FLAG_NAMES.length; i++) {
      if ((vt & (0x1000 << i)) != 0) {
        name.append(FLAG_NAMES[i]).append(" | ");
      }
    }
    return name.append(baseName(vt & 0x0FFF)).append(hex).toString();
  }

  private static String baseName(int base) {
    String name = null;
    if (base < BASE.length) {
      name = BASE[base];
    } else if (base >= 64 && base < 64 + OBJECT_BASE.length) {
      name = OBJECT_BASE[base - 64];
    } else if (base == 0xFFF) {
      name = "VT_BSTR_BLOB";
    }
    return name == null ? "unknown" : name;
  }
}
