package com.qel.vandrel.com.win32.impl;

import java.lang.ref.PhantomReference;
import java.lang.ref.Reference;
import java.lang.ref.ReferenceQueue;
import java.util.Collections;
import java.util.Set;
import java.util.concurrent.ConcurrentHashMap;
import java.util.concurrent.atomic.AtomicLong;
import java.util.logging.Level;
import java.util.logging.Logger;

/**
 * Safety net for Java objects that own a native handle (a COM interface pointer, a memory cell).
 *
 * <p>An owner registers its handle and gets a {@link Handle} back. Closing the owner {@linkplain
 * Handle#take() takes} the value out of the handle, and the owner releases it itself. When an owner
 * becomes unreachable while its handle still holds a value, the cleaner takes the value and passes
 * it to the owner's {@link Release} action instead. Either way the value is handed out exactly
 * once.
 *
 * <p>The handle never references its owner, so registering does not keep the owner alive. The
 * {@linkplain #shared() shared} cleaner runs the leak actions on one daemon thread; they therefore
 * must be callable from any thread.
 *
 * <p>This class belongs to the implementation; applications do not call it.
 */
public final class NativeHandleCleaner {
  /** What to do with the value of an owner that was never closed. */
  public interface Release {
    /**
     * Disposes of a leaked value; called at most once per registration, on the cleaner's thread.
     *
     * @param value the non-zero value the owner registered
     */
    void release(long value);
  }

  /** The owner's side of a registration: the value, until it is taken. */
  public static final class Handle {
    private final AtomicLong value;
    private final Release onLeak;
    private final Set<Phantom> registry;
    private Phantom phantom;

    private Handle(long value, Release onLeak, Set<Phantom> registry) {
      this.value = new AtomicLong(value);
      this.onLeak = onLeak;
      this.registry = registry;
    }

    /**
     * Returns the value while the handle is open.
     *
     * @throws IllegalStateException once the value has been taken
     */
    public long get() {
      long v = value.get();
      if (v == 0) {
        throw new IllegalStateException("The native resource has already been released");
      }
      return v;
    }

    /** Returns the value while the handle is open, 0 once it has been taken. */
    public long peek() {
      return value.get();
    }

    /** Tells whether the value is still held. */
    public boolean isOpen() {
      return value.get() != 0;
    }

    /**
     * Takes the value out of the handle, for the caller to release or hand on. The first call
     * returns the value, every later call (and the cleaner) gets 0.
     */
    public long take() {
      long v = value.getAndSet(0);
      if (v != 0) {
        Phantom p;
        synchronized (this) {
          p = phantom;
          phantom = null;
        }
        if (p != null) {
          p.clear();
          registry.remove(p);
        }
      }
      return v;
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

  /** Returns the process-wide cleaner, whose daemon thread starts on first use. */
  public static NativeHandleCleaner shared() {
    return Shared.INSTANCE;
  }

  /**
   * Registers an owner of a native value.
   *
   * @param owner the object whose unreachability means the value leaked
   * @param value the native value, never 0
   * @param onLeak what to do with the value if the owner is never closed; must not reference the
   *     owner, or the owner never becomes unreachable
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

  /** Number of registrations whose value is neither taken nor released yet. */
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
    long value = phantom.handle.take();
    if (value != 0) {
      phantom.handle.onLeak.release(value);
    }
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
