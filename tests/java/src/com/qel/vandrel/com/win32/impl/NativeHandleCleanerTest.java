package com.qel.vandrel.com.win32.impl;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.concurrent.atomic.AtomicInteger;
import org.junit.jupiter.api.Test;

class NativeHandleCleanerTest {
  private final NativeHandleCleaner cleaner = new NativeHandleCleaner();
  private final List<Long> leaked = new ArrayList<>();

  /** An owner like the real wrappers: it holds the handle, the handle never holds it. */
  private static final class Owner {
    final NativeHandleCleaner.Handle handle;

    Owner(NativeHandleCleaner cleaner, long value, List<Long> leaked) {
      handle = cleaner.register(this, value, leaked::add);
    }
  }

  private void registerAndDrop(long value) {
    new Owner(cleaner, value, leaked);
  }

  /** Collects until the cleaner has handled every unreachable owner it knows of. */
  private void collectUntilNothingPending() throws InterruptedException {
    for (int round = 0; round < 500 && cleaner.pendingCount() > 0; ++round) {
      System.gc();
      while (cleaner.processNext(10)) {
        // drain what this collection found
      }
    }
  }

  @Test
  void releasesTheValueOfEveryUnclosedUnreachableOwnerOnce() throws InterruptedException {
    registerAndDrop(0x11);
    registerAndDrop(0xFFFF_FFFF_0000_0022L);
    collectUntilNothingPending();

    assertEquals(0, cleaner.pendingCount());
    leaked.sort(Long::compare);
    assertEquals(List.of(0xFFFF_FFFF_0000_0022L, 0x11L), leaked);
  }

  @Test
  void aTakenValueIsHandedOutOnceAndNeverReachesTheLeakAction() throws InterruptedException {
    Owner owner = new Owner(cleaner, 0x33, leaked);
    assertTrue(owner.handle.isOpen());
    assertEquals(0x33, owner.handle.get());

    assertEquals(0x33, owner.handle.take());
    assertEquals(0, owner.handle.take(), "second take");
    assertFalse(owner.handle.isOpen());
    assertEquals(0, owner.handle.peek());
    assertThrows(IllegalStateException.class, owner.handle::get);
    assertEquals(0, cleaner.pendingCount(), "a taken handle leaves the safety net");

    owner = null;
    registerAndDrop(0x44); // something the cleaner does see, to know it ran
    collectUntilNothingPending();
    assertEquals(List.of(0x44L), leaked);
  }

  @Test
  void aCloseDuringCallsLeavesTheReleaseToTheLastCallOut() {
    List<Long> released = new ArrayList<>();
    Owner owner = new Owner(cleaner, 0x55, leaked);
    NativeHandleCleaner.Handle h = owner.handle;
    assertEquals(0x55, h.enter());
    assertEquals(0x55, h.enter());

    assertTrue(h.close(released::add));
    assertFalse(h.close(released::add), "a second close does nothing");
    assertFalse(h.isOpen());
    assertEquals(0, h.peek());
    assertEquals(0x55, h.get(), "the calls in flight still see the live value");
    assertThrows(IllegalStateException.class, h::enter, "a call after the close");
    assertThrows(IllegalStateException.class, h::requireOpen);
    assertEquals(0, h.take(), "nothing to hand over any more");

    h.leave();
    assertEquals(List.of(), released, "one call is still in flight");
    h.leave();
    assertEquals(List.of(0x55L), released, "the last call out released it with the close's action");
    assertThrows(IllegalStateException.class, h::get);
    assertEquals(List.of(), leaked);
  }

  @Test
  void aHandleInUseCannotBeTakenButClosesAtOnceWhenIdle() {
    List<Long> released = new ArrayList<>();
    NativeHandleCleaner.Handle h = new Owner(cleaner, 0x66, leaked).handle;
    h.enter();
    assertThrows(IllegalStateException.class, h::take);
    assertTrue(h.isOpen(), "a refused take changes nothing");
    h.leave();
    assertEquals(0x66, h.take());

    NativeHandleCleaner.Handle idle = new Owner(cleaner, 0x77, leaked).handle;
    assertTrue(idle.close(released::add));
    assertEquals(List.of(0x77L), released, "released by the close itself");
    assertEquals(0, cleaner.pendingCount());
  }

  @Test
  void anOwnerThatBecomesUnreachableDuringACallIsReleasedWhenTheCallLeaves()
      throws InterruptedException {
    // A static native given the value keeps only the handle, not its owner, reachable.
    NativeHandleCleaner.Handle h = new Owner(cleaner, 0x88, leaked).handle;
    h.enter();
    collectUntilNothingPending();
    assertEquals(List.of(), leaked, "not while the call uses it");
    h.leave();
    assertEquals(List.of(0x88L), leaked);
  }

  @Test
  void racingCallsAndACloseReleaseOnceAndNeverUnderACall() throws Exception {
    for (int round = 0; round < 200; ++round) {
      AtomicInteger releases = new AtomicInteger();
      NativeHandleCleaner.Handle h = new Owner(cleaner, 0x99, leaked).handle;
      AtomicInteger inside = new AtomicInteger();
      List<Thread> callers = new ArrayList<>();
      List<Throwable> failures = Collections.synchronizedList(new ArrayList<>());
      for (int t = 0; t < 3; ++t) {
        Thread caller = new Thread(() -> {
          for (int i = 0; i < 100; ++i) {
            try {
              h.enter();
            } catch (IllegalStateException closed) {
              return;
            }
            inside.incrementAndGet();
            if (releases.get() != 0) {
              failures.add(new AssertionError("released under a call"));
            }
            inside.decrementAndGet();
            h.leave();
          }
        });
        callers.add(caller);
        caller.start();
      }
      h.close(v -> {
        if (inside.get() != 0) {
          failures.add(new AssertionError("released while a call was inside"));
        }
        releases.incrementAndGet();
      });
      for (Thread caller : callers) {
        caller.join();
      }
      assertEquals(List.of(), failures);
      assertEquals(1, releases.get(), "released exactly once");
    }
  }

  @Test
  void refusesANullValue() {
    assertThrows(IllegalArgumentException.class, () -> cleaner.register(this, 0, v -> {}));
  }
}
