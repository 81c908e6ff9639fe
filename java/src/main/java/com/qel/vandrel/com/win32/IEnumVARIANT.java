package com.qel.vandrel.com.win32;

/**
 * An enumerator of automation values, reached through {@code IEnumVARIANT}: what an automation
 * collection's {@code _NewEnum} member hands out (see {@link IDispatch#newEnum()} and {@link
 * IDispatch#elements()}).
 *
 * <p>Each element is converted as a call result is: numbers boxed, strings, dates, arrays, {@code
 * null} for an empty value, and interface pointers as wrappers that own their reference (close
 * each one, or leave it to the safety net). A for-each loop walks the elements from the start:
 * each {@link #iterator()} resets the enumerator and fetches the elements in batches. Two walks
 * of the same enumerator at once share its position and disturb each other; {@link #clone()}
 * gives an independent enumerator.
 *
 * <pre>{@code
 * try (IEnumVARIANT items = collection.newEnum()) {
 *   for (Object item : items) {
 *     ...
 *   }
 * }
 * }</pre>
 */
public interface IEnumVARIANT extends IUnknown, Iterable<Object> {
  /** The interface identifier of {@code IEnumVARIANT}. */
  Guid IID = Guid.parse("{00020404-0000-0000-C000-000000000046}");

  /**
   * Fetches the next elements. The enumerator is asked for at most 256 elements per call, so a
   * larger count gives at most 256.
   *
   * @param count the most elements to fetch
   * @return the fetched elements, converted (fewer than count near the end); null at the end, for
   *     a count of 0 or less, or when the enumerator misbehaves
   * @throws DispatchVariant2JavaException when an element has a type Java cannot take; the other
   *     elements of the batch are given back (wrappers closed), and the enumerator has moved past
   *     all of them
   * @throws ComException when the enumerator's {@code Next} raises an access violation
   */
  Object[] next(int count);

  /**
   * Skips elements.
   *
   * @param count the number of elements to skip
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
  IEnumVARIANT clone();
}
