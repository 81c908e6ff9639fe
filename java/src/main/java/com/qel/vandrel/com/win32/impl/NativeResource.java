package com.qel.vandrel.com.win32.impl;

import java.util.concurrent.atomic.AtomicLong;
import java.util.concurrent.locks.ReentrantLock;

/**
 * Base of the package's objects that own a native handle: the interface wrappers and the
 * by-reference cells.
 *
 * <p>Every native call that uses the handle runs between {@link #enterUse()} and {@link
 * #leaveUse()}, and an automation call does the same for every resource among its arguments
 * ({@link CallArguments}). Closing a resource that a call is using therefore only marks it closed;
 * the release happens when the last such call returns (see {@link NativeHandleCleaner}).
 *
 * <p>A resource whose contents must not be touched by two users at once (a string cell, whose
 * string is freed and replaced by writers) is <em>exclusive</em>: a use also holds its lock, so
 * other threads' uses wait for it. Calls that take several exclusive resources lock them in the
 * order in which they were created, so two such calls never wait for each other.
 *
 * <p>This class belongs to the implementation; applications do not call it.
 */
public abstract class NativeResource {
  private static final AtomicLong CREATED = new AtomicLong();

  final NativeHandleCleaner.Handle handle;
  // Non-null for exclusive resources; order is their place in the locking order.
  private final ReentrantLock exclusive;
  final long order;

  /**
   * Registers the resource with the shared cleaner.
   *
   * @param value the native handle, never 0
   * @param onLeak what releases the handle if the resource becomes unreachable unclosed
   * @param exclusiveUse whether one use at a time may touch the resource's contents
   * @throws IllegalArgumentException when value is 0
   */
  protected NativeResource(long value, NativeHandleCleaner.Release onLeak, boolean exclusiveUse) {
    handle = NativeHandleCleaner.shared().register(this, value, onLeak);
    exclusive = exclusiveUse ? new ReentrantLock() : null;
    order = exclusiveUse ? CREATED.incrementAndGet() : 0;
  }

  /**
   * Starts a use of the handle by a native call and returns it; pair it with {@link #leaveUse()}
   * in a {@code finally} block. An exclusive resource waits here for other threads' uses.
   *
   * @throws IllegalStateException when the resource is closed
   * @return the handle, now in use by the call
   */
  protected final long enterUse() {
    if (exclusive == null) {
      return handle.enter();
    }
    handle.requireOpen(); // a closed resource refuses at once, without waiting for the lock
    exclusive.lock();
    try {
      return handle.enter();
    } catch (RuntimeException e) {
      exclusive.unlock();
      throw e;
    }
  }

  /** Ends a use started by {@link #enterUse()}; the last use of a closed resource releases it. */
  protected final void leaveUse() {
    try {
      handle.leave();
    } finally {
      if (exclusive != null) {
        exclusive.unlock();
      }
    }
  }

  /** Tells whether the resource is exclusive (see the class description). */
  final boolean isExclusive() {
    return exclusive != null;
  }

  /**
   * Returns the handle while the resource is open or still used by a call.
   *
   * @throws IllegalStateException once it has been released or handed over
   * @return the handle while the resource is open or still used by a call
   */
  protected final long handleValue() {
    return handle.get();
  }

  /**
   * Returns the handle while the resource is open, 0 afterwards.
   *
   * @return the handle while the resource is open, 0 afterwards
   */
  protected final long peekHandle() {
    return handle.peek();
  }

  /**
   * Tells whether the resource has been closed or handed over.
   *
   * @return whether the resource has been closed or handed over
   */
  protected final boolean isHandleClosed() {
    return !handle.isOpen();
  }

  /**
   * Closes the resource: {@code release} gets the handle now, or when the last call using it
   * returns.
   *
   * @return false when the resource was closed already (nothing is released then)
   * @param release the release
   */
  protected final boolean closeHandle(NativeHandleCleaner.Release release) {
    return handle.close(release);
  }

  /**
   * Hands the handle over to the caller and closes the resource without releasing anything.
   *
   * @return the handle, or 0 when the resource was closed already
   * @throws IllegalStateException when a call is using the resource
   */
  protected final long takeHandle() {
    return handle.take();
  }
}
