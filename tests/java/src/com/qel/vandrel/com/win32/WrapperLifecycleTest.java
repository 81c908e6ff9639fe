package com.qel.vandrel.com.win32;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.qel.vandrel.testserver.TestServer;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;

/** Reference ownership of the wrappers, seen from the sample server's live-object count. */
class WrapperLifecycleTest {
  private ComService.Apartment apartment;

  @BeforeEach
  void registerServer() {
    apartment = ComService.enterApartment();
    TestServer.register();
    assertEquals(0, TestServer.liveObjects(), "objects left over by an earlier test");
  }

  @AfterEach
  void revokeServer() {
    TestServer.revoke();
    apartment.close();
  }

  private static IUnknown newCounter() {
    IUnknown counter = ComService.coCreateInstance(TestServer.CLSID_COUNTER, ClsCtx.INPROC_SERVER);
    assertNotNull(counter);
    return counter;
  }

  @Test
  void closeGivesTheOneReferenceBackOnce() {
    IUnknown counter = newCounter();
    assertEquals(1, TestServer.refCount(counter.getPtr()));
    assertEquals(2, counter.addRef());
    assertEquals(1, counter.release());

    counter.close();
    counter.close();

    assertTrue(counter.isClosed());
    assertEquals(0, TestServer.liveObjects());
    assertThrows(IllegalStateException.class, counter::getPtr);
  }

  @Test
  void queryDispatchMovesTheNewReferenceIntoAnAutomationWrapper() {
    try (IUnknown counter = newCounter();
        IDispatch automation = counter.queryDispatch()) {
      assertEquals(2, TestServer.refCount(counter.getPtr()));
      assertEquals("Counter", automation.get("Kind"));
      DispatchException e = assertThrows(DispatchException.class, () -> automation.get("Nope"));
      assertEquals("Unknown name: Nope", e.getMessage());
    }
    assertEquals(0, TestServer.liveObjects());
  }

  @Test
  void detachHandsTheReferenceToTheCaller() {
    IUnknown counter = newCounter();
    long ptr = counter.detach();
    counter.close(); // closed by detach: must not release the caller's reference
    assertEquals(1, TestServer.refCount(ptr));

    IUnknown rewrapped = counter.newIUnknown(ptr); // takes the reference over, no AddRef
    assertEquals(1, TestServer.refCount(rewrapped.getPtr()));
    rewrapped.close();
    assertEquals(0, TestServer.liveObjects());
  }

  @Test
  void closeLaterReleasesOnTheNextWrapping() {
    newCounter().closeLater();
    assertEquals(1, TestServer.liveObjects());
    try (IUnknown next = newCounter();
        IUnknown same = next.queryInterface(IUnknown.IID)) {
      assertEquals(TestServer.refCount(next.getPtr()), TestServer.refCount(same.getPtr()));
      assertEquals(1, TestServer.liveObjects(), "the queued Counter is gone, the new one lives");
    }
    assertEquals(0, TestServer.liveObjects());
  }

  @Test
  void closeLaterReleasesAtTheNextComCallOfAnyKind() {
    try (IUnknown kept = newCounter()) {
      newCounter().closeLater();
      assertEquals(2, TestServer.liveObjects());
      assertEquals(2, kept.addRef()); // a call that wraps nothing
      assertEquals(1, TestServer.liveObjects(), "the queued Counter went with the next COM call");
      assertEquals(1, kept.release());
    }
    assertEquals(0, TestServer.liveObjects());
  }

  @Test
  void anUnclosedUnreachableWrapperIsReleasedBySafetyNet() throws InterruptedException {
    newCounter(); // dropped without close
    try (IUnknown probe = newCounter()) {
      for (int i = 0; i < 500 && TestServer.liveObjects() > 1; ++i) {
        System.gc();
        Thread.sleep(10);
        probe.queryInterface(IUnknown.IID).close(); // wrapping drains the release queue
      }
      assertEquals(1, TestServer.liveObjects());
    }
    assertEquals(0, TestServer.liveObjects());
  }

  @Test
  void lookupsReturnNullWhenThereIsNoObject() {
    assertNull(ComService.coCreateInstance(TestServer.CLSID_LOCAL_ONLY, ClsCtx.INPROC_SERVER));
    assertNull(ComService.coCreateInstance("{5E1A0000-0000-4A11-9000-0000000000FF}"));
    try (IUnknown running = ComService.getActiveObject(TestServer.CLSID_RUNNING);
        IUnknown byName = ComService.coGetObject("new:" + TestServer.CLSID_MONIKER)) {
      assertNotNull(running);
      assertNotNull(byName);
    }
    assertEquals(0, TestServer.liveObjects());
  }
}
