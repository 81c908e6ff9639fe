package com.qel.vandrel.com.win32;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.ConcurrentLinkedQueue;
import java.util.concurrent.CountDownLatch;
import org.junit.jupiter.api.Test;

class DispatchVariant2JavaExceptionTest {
  private static final long HANDLE = 0x1234_5678_9ABC_DEF0L; // a 64-bit address survives whole

  @Test
  void releasesTheVariantOnceAcrossRacingThreads() throws Exception {
    ConcurrentLinkedQueue<Long> released = new ConcurrentLinkedQueue<>();
    DispatchVariant2JavaException e =
        new DispatchVariant2JavaException("unsupported", HANDLE, released::add);
    assertEquals(HANDLE, e.getVariantHandle());

    CountDownLatch start = new CountDownLatch(1);
    List<Thread> threads = new ArrayList<>();
    for (int i = 0; i < 8; ++i) {
      Thread t =
          new Thread(
              () -> {
                try {
                  start.await();
                } catch (InterruptedException ignored) {
                  return;
                }
                for (int k = 0; k < 100; ++k) {
                  e.releaseVariant();
                }
              });
      t.start();
      threads.add(t);
    }
    start.countDown();
    for (Thread t : threads) {
      t.join();
    }

    assertEquals(List.of(HANDLE), new ArrayList<>(released));
    assertEquals(0, e.getVariantHandle(), "a released handle is not handed out any more");
  }
}
