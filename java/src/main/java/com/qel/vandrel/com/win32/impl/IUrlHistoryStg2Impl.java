package com.qel.vandrel.com.win32.impl;

import com.qel.vandrel.com.win32.ComException;

/**
 * The platform's URL history object through {@code IUrlHistoryStg2}; owns exactly one reference.
 * Applications use {@link com.qel.vandrel.com.win32.UrlHistory}.
 *
 * <p>An instance that becomes unreachable unclosed hands its pointer to the native release queue.
 */
public final class IUrlHistoryStg2Impl extends NativeResource {
  static {
    NativeLibrary.load();
  }

  private static final NativeHandleCleaner.Release QUEUED_RELEASE =
      new NativeHandleCleaner.Release() {
        @Override
        public void release(long ptr) {
          IUnknownImpl._addReleaseWaitQueue(ptr);
        }
      };

  private IUrlHistoryStg2Impl(long ptr) {
    super(ptr, QUEUED_RELEASE, false);
  }

  /**
   * Creates the platform's URL history object.
   *
   * @return the new object's wrapper
   * @throws ComException when the object cannot be created
   */
  public static IUrlHistoryStg2Impl create() {
    long ptr = _initialize();
    if (ptr == 0) {
      throw new ComException("The URL history object cannot be created");
    }
    return new IUrlHistoryStg2Impl(ptr);
  }

  /**
   * Tells whether a URL is in the history as a top-level entry.
   *
   * @param url the URL
   * @return true when the history knows the URL
   * @throws NullPointerException when url is null
   * @throws IllegalStateException when the object has been closed
   */
  public boolean isVisited(String url) {
    long p = enterUse();
    try {
      return _isVisited(p, url);
    } finally {
      leaveUse();
    }
  }

  /** Releases the object; calling it again does nothing. */
  public void close() {
    closeHandle(
        new NativeHandleCleaner.Release() {
          @Override
          public void release(long ptr) {
            _release(ptr);
          }
        });
  }

  static native long _initialize();

  static native boolean _isVisited(long p, String url);

  static native int _release(long p);
}
