package com.qel.vandrel.com.win32;

/** An enumerator of COM objects, reached through {@code IEnumUnknown}. */
public interface IEnumUnknown extends IUnknown {
  /** The interface identifier of {@code IEnumUnknown}. */
  Guid IID = Guid.parse("{00000100-0000-0000-C000-000000000046}");

  /**
   * Fetches the next objects.
   *
   * @param count the most objects to fetch
   * @return the fetched objects, each wrapper owning its reference; empty at the end
   */
  IUnknown[] next(int count);

  /**
   * Skips objects.
   *
   * @return true when all of them could be skipped
   * @param count the count
   */
  boolean skip(int count);

  /** Starts the enumeration again. */
  void reset();
}
