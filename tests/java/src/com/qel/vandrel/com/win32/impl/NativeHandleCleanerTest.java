package com.qel.vandrel.com.win32.impl;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.ArrayList;
import java.util.List;
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
  void refusesANullValue() {
    assertThrows(IllegalArgumentException.class, () -> cleaner.register(this, 0, v -> {}));
  }
}
