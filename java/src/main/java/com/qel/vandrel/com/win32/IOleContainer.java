package com.qel.vandrel.com.win32;

/** A COM container of embedded objects, reached through {@code IOleContainer}. */
public interface IOleContainer extends IUnknown {
  /** The interface identifier of {@code IOleContainer}. */
  Guid IID = Guid.parse("{0000011B-0000-0000-C000-000000000046}");

  /** {@code EnumObjects} flag: embedded objects. */
  int OLECONTF_EMBEDDINGS = 1;
  /** {@code EnumObjects} flag: linked objects. */
  int OLECONTF_LINKS = 2;
  /** {@code EnumObjects} flag: other objects. */
  int OLECONTF_OTHERS = 4;
  /** {@code EnumObjects} flag: only objects the user is aware of. */
  int OLECONTF_ONLYUSER = 8;
  /** {@code EnumObjects} flag: only running objects. */
  int OLECONTF_ONLYIFRUNNING = 16;

  /**
   * Enumerates the objects of the container.
   *
   * @param flags a combination of the {@code OLECONTF_*} flags
   * @return a new enumerator wrapper, or null when the container refuses
   */
  IEnumUnknown enumObjects(int flags);
}
