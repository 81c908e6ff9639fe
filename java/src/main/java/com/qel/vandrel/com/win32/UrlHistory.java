package com.qel.vandrel.com.win32;

import com.qel.vandrel.com.win32.impl.IUrlHistoryStg2Impl;

/**
 * The platform's URL history ({@code CLSID_CUrlHistory}), asked whether URLs were visited.
 *
 * <p>Owns one reference to the history object, given back by {@link #close()} (or by the safety
 * net once the object has become unreachable). COM must be initialised on the calling thread
 * ({@link ComService#initialize()}).
 *
 * <pre>{@code
 * try (UrlHistory history = new UrlHistory()) {
 *   boolean seen = history.isVisited("https://example.org/");
 * }
 * }</pre>
 */
public final class UrlHistory implements AutoCloseable {
  private final IUrlHistoryStg2Impl history;

  /**
   * Creates the platform's URL history object.
   *
   * @throws ComException when the history object cannot be created
   */
  public UrlHistory() {
    history = IUrlHistoryStg2Impl.create();
  }

  /**
   * Tells whether a URL is in the history as a top-level entry.
   *
   * @param url the URL, compared as the platform compares it
   * @return true when the history knows the URL; false when it does not or the query fails
   * @throws NullPointerException when url is null
   * @throws IllegalStateException when the history has been closed
   */
  public boolean isVisited(String url) {
    return history.isVisited(url);
  }

  /** Releases the history object; calling it again does nothing. */
  @Override
  public void close() {
    history.close();
  }
}
