package com.qel.vandrel.com.win32.impl;

import java.lang.ref.PhantomReference;
import java.lang.ref.Reference;
import java.lang.ref.ReferenceQueue;
import java.util.Collections;
import java.util.Set;
import java.util.concurrent.ConcurrentHashMap;
import java.util.concurrent.atomic.AtomicInteger;
import java.util.concurrent.atomic.AtomicReference;
import java.util.logging.Level;
import java.util.logging.Logger;

/**
 * Safety net and lifetime of the Java objects that own a native handle (a COM interface pointer, a
 * memory cell).
 *
 * <p>An owner registers its handle and gets a {@link Handle} back. Every native call that uses the
 * value {@linkplain Handle#enter() enters} the handle first and {@linkplain Handle#leave() leaves}
 * it when the call returns. Closing the owner {@linkplain Handle#close(Release) closes} the handle
 * with the owner's release action: at once when no call is in flight, otherwise by the last call
 * as it leaves, so a call never loses the value it uses. When an owner becomes unreachable while
 * its handle is still open, the cleaner closes it with the owner's leak action instead. Either way
 * the value is released exactly once.
 *
 * <p>The handle never references its owner, so registering does not keep the owner alive. The
 * {@linkplain #shared() shared} cleaner runs the leak actions on one daemon thread (or on the
 * thread of the last call in flight); they therefore must be callable from any thread.
 *
 * <p>This class belongs to the implementation; applications do not call it.
 */
public final class NativeHandleCleaner {
  /** What to do with the value of an owner that was never closed, or that is being closed. */
  public interface Release {
    /**
     * Disposes of the value; called at most once per registration.
     *
     * @param value the non-zero value the owner registered
     */
    void release(long value);
  }

  /**
   * The owner's side of a registration: the value, a count of the calls using it, and whether it
   * has been closed. Entering and leaving cost one atomic operation each; closing and taking are
   * rare and lock the handle.
   */
  public static final class Handle {
    // state = 2 * (calls in flight) + (1 once closed). Only close() and take() set the closed
    // bit, under the handle's lock; calls change the count without the lock.
    private static final int CLOSED = 1;
    private static final int CALL = 2;

    private final long value;
    private final Release onLeak;
    private final Set<Phantom> registry;
    private final AtomicInteger state = new AtomicInteger();
    // What the last call out does with the value of a handle closed while calls were in flight;
    // taken exactly once, by that call or by close() itself when no call was in flight.
    private final AtomicReference<Release> pending = new AtomicReference<>();
    private Phantom phantom; // guarded by this

    private Handle(long value, Release onLeak, Set<Phantom> registry) {
      this.value = value;
      this.onLeak = onLeak;
      this.registry = registry;
    }

    /**
     * Starts a use of the value by a call: returns the value and keeps it from being released
     * until the matching {@link #leave()}, even when the handle is closed meanwhile.
     *
     * @throws IllegalStateException when the handle is closed
     * @return the value, now in use by the call
     */
    public long enter() {
      for (; ; ) {
        int s = state.get();
        if ((s & CLOSED) != 0) {
          throw released();
        }
        if (state.compareAndSet(s, s + CALL)) {
          return value;
        }
      }
    }

    /**
     * Ends a use started by {@link #enter()}. The last call to leave a handle closed while it was
     * in use releases the value, with the action the close gave; a failure of that action is
     * logged, so it does not replace the outcome of the call.
     */
    public void leave() {
      if (state.addAndGet(-CALL) == CLOSED) {
        Release release = pending.getAndSet(null);
        if (release != null) {
          try {
            release.release(value);
          } catch (RuntimeException | Error e) {
            LOG.log(Level.WARNING, "Releasing a native resource after its last call failed", e);
          }
        }
      }
    }

    /**
     * Returns the value while the handle is open, and also while it is closed but calls that
     * entered before the close still use it (the value is still alive then).
     *
     * @throws IllegalStateException once the value has been released or taken
     * @return the value while the handle is open, and also while it is closed but calls that entered before the close still use it (the value is still alive then)
     */
    public long get() {
      if (state.get() == CLOSED) {
        throw released();
      }
      return value;
    }

    /**
     * Checks that the handle is open.
     *
     * @throws IllegalStateException when it is closed, whether or not calls still use the value
     */
    public void requireOpen() {
      if (!isOpen()) {
        throw released();
      }
    }

    /**
     * Returns the value while the handle is open, 0 once it has been closed or taken.
     *
     * @return the value while the handle is open, 0 once it has been closed or taken
     */
    public long peek() {
      return isOpen() ? value : 0;
    }

    /**
     * Tells whether the handle is still open.
     *
     * @return whether the handle is still open
     */
    public boolean isOpen() {
      return (state.get() & CLOSED) == 0;
    }

    /**
     * Tells whether calls are using the value.
     *
     * @return whether calls are using the value
     */
    public boolean inUse() {
      return state.get() >= CALL;
    }

    /**
     * Closes the handle and releases the value with {@code release}: on the calling thread when no
     * call is in flight, otherwise on the thread of the last call as it leaves. Later calls of
     * close, {@link #take()} and {@link #enter()} see a closed handle.
     *
     * @return true when this call closed the handle, false when it was closed already
     * @param release the release
     */
    public boolean close(Release release) {
      boolean now;
      synchronized (this) {
        if (!isOpen()) {
          return false;
        }
        pending.set(release);
        // The closed bit is clear and only set under this lock: adding 1 sets it.
        now = state.getAndIncrement() == 0;
        leaveRegistry();
      }
      if (now) {
        Release mine = pending.getAndSet(null);
        if (mine != null) {
          mine.release(value);
        }
      }
      return true;
    }

    /**
     * Takes the value out of the handle, for the caller to release or hand on, and closes it. The
     * first call returns the value, every later call (and the cleaner) gets 0.
     *
     * @throws IllegalStateException when a call is using the value: it cannot be handed on while
     *     a call may still need it
     * @return the value, now the caller's to release or hand on
     */
    public long take() {
      synchronized (this) {
        if (!isOpen()) {
          return 0;
        }
        if (!state.compareAndSet(0, CLOSED)) {
          throw new IllegalStateException(
              "The native resource is in use by a call in progress and cannot be handed over");
        }
        leaveRegistry();
      }
      return value;
    }

    private static IllegalStateException released() {
      return new IllegalStateException("The native resource has already been released");
    }

    private void leaveRegistry() { // holds this
      Phantom p = phantom;
      phantom = null;
      if (p != null) {
        p.clear();
        registry.remove(p);
      }
    }

    private synchronized void attach(Phantom p) {
      phantom = p;
    }
  }

  private static final class Phantom extends PhantomReference<Object> {
    final Handle handle;

    Phantom(Object owner, Handle handle, ReferenceQueue<Object> queue) {
      super(owner, queue);
      this.handle = handle;
    }
  }

  private static final Logger LOG = Logger.getLogger(NativeHandleCleaner.class.getName());

  private final ReferenceQueue<Object> queue = new ReferenceQueue<>();
  // Keeps the phantoms themselves reachable until they are processed or their handle is taken.
  private final Set<Phantom> registry = Collections.newSetFromMap(new ConcurrentHashMap<>());

  /**
   * Creates a cleaner without a thread of its own; whoever owns it drives it with {@link
   * #processNext(long)}.
   */
  public NativeHandleCleaner() {}

  private static final class Shared {
    static final NativeHandleCleaner INSTANCE = startShared();

    private static NativeHandleCleaner startShared() {
      final NativeHandleCleaner cleaner = new NativeHandleCleaner();
      Thread thread =
          new Thread(
              new Runnable() {
                @Override
                public void run() {
                  cleaner.runForever();
                }
              },
              "Ostrel32 resource cleaner");
      thread.setDaemon(true);
      thread.start();
      return cleaner;
    }
  }

  /**
   * Returns the process-wide cleaner, whose daemon thread starts on first use.
   *
   * @return the process-wide cleaner, whose daemon thread starts on first use
   */
  public static NativeHandleCleaner shared() {
    return Shared.INSTANCE;
  }

  /**
   * Registers an owner of a native value.
   *
   * @param owner the object whose unreachability means the value leaked
   * @param value the native value, never 0
   * @param onLeak what to do with the value if the owner is never closed; must not reference the
   *     owner, or the owner never becomes unreachable; runs on the cleaner's thread or on the
   *     thread of the last call that used the value
   * @return the handle the owner keeps
   * @throws IllegalArgumentException when value is 0
   */
  public Handle register(Object owner, long value, Release onLeak) {
    if (owner == null || onLeak == null) {
      throw new NullPointerException("owner and onLeak must not be null");
    }
    if (value == 0) {
      throw new IllegalArgumentException("A native handle must not be 0");
    }
    Handle handle = new Handle(value, onLeak, registry);
    Phantom phantom = new Phantom(owner, handle, queue);
    registry.add(phantom);
    handle.attach(phantom);
    return handle;
  }

  /**
   * Number of registrations whose value is neither taken nor released yet.
   *
   * @return number of registrations whose value is neither taken nor released yet
   */
  public int pendingCount() {
    return registry.size();
  }

  /**
   * Waits for one unreachable owner and releases its value.
   *
   * @param timeoutMillis how long to wait; 0 waits without limit
   * @return true when an owner was processed, false when the wait timed out
   * @throws InterruptedException when the waiting thread is interrupted
   */
  public boolean processNext(long timeoutMillis) throws InterruptedException {
    Reference<?> ref = queue.remove(timeoutMillis);
    if (ref == null) {
      return false;
    }
    Phantom phantom = (Phantom) ref;
    registry.remove(phantom);
    // A call may still use the value (its owner can become unreachable before a static native
    // that was given the value returns); close() then leaves the release to that call.
    phantom.handle.close(phantom.handle.onLeak);
    return true;
  }

  private void runForever() {
    for (; ; ) {
      try {
        processNext(0);
      } catch (InterruptedException e) {
        // The daemon lives as long as the VM; an interrupt only cuts a wait short.
      } catch (Throwable e) { // the one thread of the safety net must survive anything
        LOG.log(Level.WARNING, "Releasing a leaked native resource failed", e);
      }
    }
  }
}
