package com.qel.vandrel.com.win32;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.qel.vandrel.testserver.TestServer;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;

/**
 * For-each over an automation collection: _NewEnum, IEnumVARIANT and the conversion of its
 * elements, against the sample server's Collection class. Each test ends with no enumerator
 * alive and (through the fixture) no sample object, BSTR or SAFEARRAY left over.
 */
class CollectionEnumerationTest extends AutomationFixture {
  private IDispatch collection;

  @BeforeEach
  void createCollection() {
    collection = ComService.createDispatch(TestServer.CLSID_COLLECTION);
    assertNotNull(collection);
  }

  @AfterEach
  void closeCollection() {
    collection.close();
    assertEquals(0, TestServer.liveVariantEnumerators(), "enumerators left alive");
  }

  /** The elements as comparable values: an interface element by its Kind, and closed. */
  private static List<Object> described(Object[] elements) {
    List<Object> values = new ArrayList<>();
    for (Object element : elements) {
      values.add(described(element));
    }
    return values;
  }

  private static Object described(Object element) {
    if (element instanceof IDispatch) {
      try (IDispatch object = (IDispatch) element) {
        return "object " + object.get("Kind");
      }
    }
    return element;
  }

  // The Collection's EnumKind values: what its _NewEnum hands out.
  private static final int HOSTILE = 1;
  private static final int UNCONVERTIBLE = 2;
  private static final int FAULTING = 3;

  private static final List<Object> ELEMENTS =
      Arrays.asList(42, "two", 2.5, true, "object Counter", null);

  @Test
  void forEachGivesTheElementsConvertedAsCallResultsAndClosesItsEnumerator() {
    // Once a Handler exists, receivers that are no IDispatch may be a Handler or an enumerator:
    // the enumerator must still make the wrappers of its elements itself.
    try (Handler unused = Handler.listening((dispId, args) -> null)) {
      assertNotNull(unused);
    }
    assertEquals(TestServer.COLLECTION_ELEMENTS, collection.get("Count"));
    for (int walk = 0; walk < 2; walk++) {
      List<Object> seen = new ArrayList<>();
      for (Object element : collection.elements()) {
        if (element instanceof IDispatch) {
          assertEquals(3, refCount((IDispatch) element), "the collection's, the enumerator's, ours");
        }
        seen.add(described(element));
      }
      assertEquals(ELEMENTS, seen);
      assertEquals(0, TestServer.liveVariantEnumerators(), "the finished walk closed it");
    }
  }

  @Test
  void nextSkipResetAndCloneMoveAsTheEnumeratorDoes() {
    IEnumVARIANT items = collection.newEnum();
    try {
      assertEquals(1, refCount(items), "the _NewEnum object's wrapper gave its reference back");
      assertNull(items.next(0));
      assertNull(items.next(-1));
      assertEquals(ELEMENTS.subList(0, 2), described(items.next(2)));
      try (IEnumVARIANT copy = items.clone()) {
        assertEquals(1, refCount(copy));
        assertEquals(described(items.next(2)), described(copy.next(2)), "from the same place");
        assertEquals(2, TestServer.liveVariantEnumerators());
      }
      assertTrue(items.skip(1));
      assertArrayEquals(new Object[] {null}, items.next(5), "the empty value, then the end");
      assertNull(items.next(1));
      assertFalse(items.skip(1));
      assertFalse(items.skip(-1));
      assertTrue(items.reset());
      assertEquals(ELEMENTS, described(items.next(Integer.MAX_VALUE)));
    } finally {
      items.close();
    }
    assertThrows(IllegalStateException.class, () -> items.next(1));
  }

  @Test
  void hostileEnumeratorYieldsNothingAndLeaksNothing() {
    long live = TestServer.liveObjects();
    collection.put("EnumKind", HOSTILE);
    try (IEnumVARIANT items = collection.newEnum()) {
      for (int count : new int[] {1, 2, 3, 16}) {
        assertNull(items.next(count), "count " + count);
        assertEquals(live + 1, TestServer.liveObjects(), "the stored elements were released");
      }
      assertFalse(items.iterator().hasNext());
      assertNull(items.clone(), "its Clone fails");
    }
  }

  @Test
  void anUnconvertibleElementThrowsAndItsBatchIsGivenBack() {
    long live = TestServer.liveObjects();
    collection.put("EnumKind", UNCONVERTIBLE);
    try (IEnumVARIANT items = collection.newEnum()) {
      DispatchVariant2JavaException e =
          assertThrows(DispatchVariant2JavaException.class, () -> items.next(16));
      assertEquals(VT_CY, e.getVarType());
      e.releaseVariant();
      // The enumerator and its own two Counters; the copies fetched were all released.
      assertEquals(live + 3, TestServer.liveObjects());
      assertNull(items.next(1), "the enumerator moved past the batch");
      assertTrue(items.reset());
      assertEquals(Arrays.asList(1, "object Counter"), described(items.next(2)));
    }
  }

  @Test
  void aWalkThatFailsStillClosesItsEnumerator() {
    collection.put("EnumKind", UNCONVERTIBLE);
    List<Object> seen = new ArrayList<>();
    DispatchVariant2JavaException e =
        assertThrows(
            DispatchVariant2JavaException.class,
            () -> {
              for (Object element : collection.elements()) {
                seen.add(element);
              }
            });
    e.releaseVariant();
    assertEquals(List.of(), seen, "the failing batch was the first");
    assertEquals(0, TestServer.liveVariantEnumerators());
  }

  @Test
  void aFaultWhileClearingAnElementThrowsAndGivesTheBatchBack() {
    // The second element is an array whose object faults in every Release: clearing the array
    // faults, and so does closing the wrapper made of its object.
    long live = TestServer.liveObjects();
    collection.put("EnumKind", FAULTING);
    try (IEnumVARIANT items = collection.newEnum()) {
      ComException e = assertThrows(ComException.class, () -> items.next(16));
      assertEquals("Access violation in VariantClear", e.getMessage());
      assertEquals(live + 1, TestServer.liveObjects(), "only the enumerator is left");
      assertEquals(Arrays.asList(1), Arrays.asList(items.next(1)), "it works on");
    }
  }

  @Test
  void newEnumOfSomethingThatIsNoCollectionFailsWithTheReason() {
    // The Automation object's _NewEnum returns a string; a Counter has no _NewEnum.
    DispatchException noObject = assertThrows(DispatchException.class, automation::newEnum);
    assertEquals(0x80020005, noObject.getHResult());
    assertEquals("_NewEnum returned a java.lang.String, not an enumerator", noObject.getMessage());
    try (IDispatch counter = newCounter()) {
      DispatchException missing = assertThrows(DispatchException.class, counter::newEnum);
      assertEquals(0x80020003, missing.getHResult(), "DISP_E_MEMBERNOTFOUND");
      assertThrows(DispatchException.class, () -> counter.elements().iterator());
    }
  }
}
