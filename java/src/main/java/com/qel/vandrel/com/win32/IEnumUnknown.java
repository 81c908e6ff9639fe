package com.qel.vandrel.com.win32;

/**
 * An enumerator of COM objects, reached through {@code IEnumUnknown}.
 *
 * <p>A for-each loop walks the objects from the start: each {@link #iterator()} resets the
 * enumerator and fetches the objects in batches. Every object it yields, like every element of
 * {@link #next(int)}, is a wrapper that owns its own reference: close each one (or leave it to the
 * safety net). Two walks of the same enumerator at once share its position and disturb each other;
 * {@link #clone()} gives an independent enumerator.
 *
 * <pre>{@code
 * try (IEnumUnknown objects = container.enumObjects(IOleContainer.OLECONTF_EMBEDDINGS)) {
 *   for (IUnknown object : objects) {
 *     try (IUnknown o = object) {
 *       ...
 *     }
 *   }
 * }
 * }</pre>
 */
public interface IEnumUnknown extends IUnknown, Iterable<IUnknown> {
  /** The interface identifier of {@code IEnumUnknown}. */
  Guid IID = Guid.parse("{00000100-0000-0000-C000-000000000046}");

  /**
   * Fetches the next objects. The enumerator is asked for at most 256 objects per call, so a larger
   * count gives at most 256.
   *
   * @param count the most objects to fetch
   * @return the fetched objects, each wrapper owning its reference (fewer than count near the
   *     end); null at the end, for a count of 0 or less, or when the enumerator misbehaves
   * @throws ComException when the enumerator's {@code Next} raises an access violation
   */
  IUnknown[] next(int count);

  /**
   * Skips objects.
   *
   * @param count the number of objects to skip
   * @return true when all of them could be skipped; false when fewer were left (the enumerator is
   *     then at its end), for a negative count and when the enumerator fails
   * @throws ComException when the enumerator's {@code Skip} raises an access violation
   */
  boolean skip(int count);

  /**
   * Starts the enumeration again.
   *
   * @return true when the enumerator answered {@code S_OK}
   * @throws ComException when the enumerator's {@code Reset} raises an access violation
   */
  boolean reset();

  /**
   * Copies the enumerator: the copy continues from the same position, independently.
   *
   * @return a new enumerator wrapper owning the copy's reference, or null when the enumerator
   *     cannot be copied
   * @throws ComException when the enumerator's {@code Clone} raises an access violation
   */
  IEnumUnknown clone();
}
