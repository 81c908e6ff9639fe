package com.qel.vandrel.com.win32.impl;

import java.util.Iterator;
import java.util.NoSuchElementException;
import java.util.function.IntFunction;

/**
 * Walks an enumerator through its {@code next(count)}: fetches batches of a fixed size until a
 * batch is null or shorter (the enumerator's end). An element handed out is dropped from the
 * batch, so the iterator keeps no reference to what the caller took over.
 */
final class BatchIterator<T> implements Iterator<T> {
  private final IntFunction<T[]> fetch;
  private final int batchSize;
  private T[] batch;
  private int index;
  private boolean ended;

  BatchIterator(IntFunction<T[]> fetch, int batchSize) {
    this.fetch = fetch;
    this.batchSize = batchSize;
  }

  @Override
  public boolean hasNext() {
    if (batch != null && index < batch.length) {
      return true;
    }
    if (ended) {
      return false;
    }
    batch = fetch.apply(batchSize);
    index = 0;
    ended = batch == null || batch.length < batchSize;
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
