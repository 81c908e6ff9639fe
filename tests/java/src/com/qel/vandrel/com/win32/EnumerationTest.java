package com.qel.vandrel.com.win32;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.qel.vandrel.com.win32.impl.IEnumUnknownImpl;
import com.qel.vandrel.com.win32.impl.IOleContainerImpl;
import com.qel.vandrel.testserver.TestServer;
import java.util.ArrayList;
import java.util.List;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;

/**
 * IEnumUnknown, IOleContainer and UrlHistory through the public API against the sample
 * server's enumerator and container classes and the runtime's URL history. Each test ends with
 * the sample objects, container locks and task memory where they were.
 */
class EnumerationTest extends AutomationFixture {
  private static final String VISITED = "http://ostrel.test/java/visited";

  private int locks;
  private int taskMemory;

  @BeforeEach
  void recordBaselines() {
    locks = TestServer.containerLocks();
    taskMemory = TestServer.liveTaskMemory();
  }

  @AfterEach
  void checkBaselines() {
    assertEquals(locks, TestServer.containerLocks(), "container locks left held");
    assertEquals(taskMemory, TestServer.liveTaskMemory(), "task memory leaked");
  }

  private static IOleContainer container(String clsid) {
    try (IUnknown object = ComService.coCreateInstance(clsid)) {
      return IOleContainerImpl.queryFrom(object);
    }
  }

  /** The pointers of the objects a for-each walk yields, each object closed. */
  private static List<Long> walk(IEnumUnknown objects) {
    List<Long> pointers = new ArrayList<>();
    for (IUnknown object : objects) {
      try (IUnknown o = object) {
        pointers.add(o.getPtr());
      }
    }
    return pointers;
  }

  @Test
  void forEachWalksTheContainersObjectsAndEveryCountReturnsToItsBaseline() {
    try (IOleContainer container = container(TestServer.CLSID_CONTAINER);
        IEnumUnknown objects = container.enumObjects(IOleContainer.OLECONTF_EMBEDDINGS)) {
      assertNotNull(objects);
      assertEquals(IOleContainer.OLECONTF_EMBEDDINGS, TestServer.lastEnumObjectsFlags());
      assertEquals(1, refCount(objects), "the extra reference of _enumObjects is given back");
      List<Long> first = walk(objects);
      assertEquals(TestServer.ENUMERATOR_ELEMENTS, first.size());
      assertEquals(first, walk(objects), "each walk starts again");
    }
  }

  @Test
  void skipResetAndCloneMoveAsTheEnumeratorDoes() {
    try (IUnknown object = ComService.coCreateInstance(TestServer.CLSID_OBJECT_ENUMERATOR);
        IEnumUnknown objects = IEnumUnknownImpl.queryFrom(object)) {
      assertTrue(objects.skip(1));
      try (IEnumUnknown copy = objects.clone()) {
        assertEquals(1, refCount(copy));
        assertEquals(next(objects, 3), next(copy, 3), "the copy continues from the same place");
      }
      assertFalse(objects.skip(1), "past the end");
      assertNull(objects.next(1));
      assertTrue(objects.reset());
      assertEquals(TestServer.ENUMERATOR_ELEMENTS, next(objects, Integer.MAX_VALUE).size());
      assertNull(objects.next(0));
      assertNull(objects.next(-1));
    }
  }

  /** The pointers of one next(count) batch, each element closed. */
  private static List<Long> next(IEnumUnknown objects, int count) {
    List<Long> pointers = new ArrayList<>();
    IUnknown[] batch = objects.next(count);
    assertNotNull(batch);
    for (IUnknown element : batch) {
      try (IUnknown e = element) {
        pointers.add(e.getPtr());
      }
    }
    return pointers;
  }

  @Test
  void containerAnsweringSFalseGivesNoEnumerator() {
    try (IOleContainer container = container(TestServer.CLSID_EMPTY_CONTAINER)) {
      assertNull(container.enumObjects(IOleContainer.OLECONTF_OTHERS));
      assertEquals(IOleContainer.OLECONTF_OTHERS, TestServer.lastEnumObjectsFlags());
    }
  }

  @Test
  void hostileEnumeratorYieldsNothing() {
    try (IUnknown object = ComService.coCreateInstance(TestServer.CLSID_HOSTILE_ENUMERATOR);
        IEnumUnknown objects = IEnumUnknownImpl.queryFrom(object)) {
      assertEquals(List.of(), walk(objects));
      assertNull(objects.clone(), "its Clone fails");
    }
  }

  @Test
  void lockHoldsTheContainerUntilClosed() {
    try (IOleContainer container = container(TestServer.CLSID_CONTAINER)) {
      IOleContainer.Lock lock = container.lock();
      assertEquals(1, TestServer.lastLockContainerArgument());
      assertEquals(locks + 1, TestServer.containerLocks());
      lock.close();
      lock.close();
      assertEquals(0, TestServer.lastLockContainerArgument());
      assertEquals(locks, TestServer.containerLocks());
    }
  }

  @Test
  void urlHistoryAnswersForVisitedAndAbsentUrls() {
    TestServer.addVisitedUrl(VISITED);
    UrlHistory history = new UrlHistory();
    try {
      assertTrue(history.isVisited(VISITED));
      assertFalse(history.isVisited(VISITED + "/absent"));
      assertFalse(history.isVisited(""));
      NullPointerException e =
          assertThrows(NullPointerException.class, () -> history.isVisited(null));
      assertEquals("the url to look up is null", e.getMessage());
    } finally {
      history.close();
      history.close();
      assertThrows(IllegalStateException.class, () -> history.isVisited(VISITED));
      TestServer.deleteVisitedUrl(VISITED);
    }
  }
}
