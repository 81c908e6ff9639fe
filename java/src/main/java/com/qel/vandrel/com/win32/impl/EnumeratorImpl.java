package com.qel.vandrel.com.win32.impl;

import com.qel.vandrel.com.win32.IUnknown;
import java.util.Iterator;
import java.util.NoSuchElementException;

/**
 * What the enumerator wrappers ({@code IEnumUnknown}, {@code IEnumVARIANT}) share: each method
 * holds the wrapper for its native call, and a for-each walk fetches batches through {@link
 * #next(int)}. A subclass declares the four natives and wraps a copy.
 *
 * @param <T> the type of the elements
 * @param <E> the enumerator interface
 */
abstract class EnumeratorImpl<T, E extends IUnknown> extends IUnknownImpl implements Iterable<T> {
  // Elements fetched per Next call of a for-each walk.
  private static final int BATCH = 16;

  /** Wraps a pointer and takes over the reference the caller holds. */
  EnumeratorImpl(long ptr) {
    super(ptr);
  }

  /**
   * Fetches the next elements, at most 256 per call, as {@link
   * com.qel.vandrel.com.win32.IEnumUnknown#next(int)} and {@link
   * com.qel.vandrel.com.win32.IEnumVARIANT#next(int)} describe for their elements.
   *
   * @param count the most elements to fetch
   * @return the fetched elements; null at the end, for a count of 0 or less, or when the
   *     enumerator misbehaves
   */
  public T[] next(int count) {
    long p = enterUse();
    try {
      return _next(p, count);
    } finally {
      leaveUse();
    }
  }

  /**
   * Skips elements.
   *
   * @param count the number of elements to skip
   * @return true when all of them could be skipped
   */
  public boolean skip(int count) {
    long p = enterUse();
    try {
      return _skip(p, count);
    } finally {
      leaveUse();
    }
  }

  /**
   * Starts the enumeration again.
   *
   * @return true when the enumerator answered {@code S_OK}
   */
  public boolean reset() {
    long p = enterUse();
    try {
      return _reset(p);
    } finally {
      leaveUse();
    }
  }

  @Override
  public E clone() {
    IUnknown copy;
    long p = enterUse();
    try {
      copy = __clone(p);
    } finally {
      leaveUse();
    }
    return copy == null ? null : wrap(copy.detach());
  }

  /**
   * {@inheritDoc}
   *
   * <p>Elements fetched in a batch but not yet handed out when a walk is abandoned are released
   * by the safety net.
   */
  @Override
  public Iterator<T> iterator() {
    reset();
    return new Batches();
  }

  /** A new wrapper of the enumerator's kind, owning the reference ptr carries. */
  abstract E wrap(long ptr);

  abstract T[] _next(long p, int count);

  abstract boolean _skip(long p, int count);

  abstract boolean _reset(long p);

  abstract IUnknown __clone(long p);

  // Fetches batches until one is null or shorter (the enumerator's end). An element handed out is
  // dropped from the batch, so the walk keeps no reference to what the caller took over.
  private final class Batches implements Iterator<T> {
    private T[] batch;
    private int index;
    private boolean ended;

    @Override
    public boolean hasNext() {
      if (batch != null && index < batch.length) {
        return true;
      }
      if (ended) {
        return false;
      }
      batch = EnumeratorImpl.this.next(BATCH);
      index = 0;
      ended = batch == null || batch.length < BATCH;
      return batch != null && batch.length > 0;
    }

    @Override
    public T next() {
      if (!hasNext()) {
        throw new NoSuchElementException("the enumeration has ended");
      }
      T element = batch[index];
      batch[index++] = null;
      return element;
    }
  }
}
