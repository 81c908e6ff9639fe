package com.qel.vandrel.hostile;

import static com.qel.vandrel.hostile.HostileCase.initialised;

import com.qel.vandrel.com.win32.ComService;
import com.qel.vandrel.com.win32.DispatchException;
import com.qel.vandrel.com.win32.IDispatch;
import com.qel.vandrel.com.win32.IEnumVARIANT;
import com.qel.vandrel.testserver.TestServer;
import java.util.ArrayList;
import java.util.List;

/**
 * Careless walks over an automation collection: a for-each left early (its enumerator and the
 * wrappers of its batch are the safety net's), a closed enumerator walked, and something that is no
 * collection walked.
 */
final class EnumerationCases {
  private EnumerationCases() {}

  static List<HostileCase> all() {
    List<HostileCase> cases = new ArrayList<>();
    cases.add(initialised(
        "Enumeration.WalkLeftEarly", Expected.returns(), EnumerationCases::walkLeftEarly));
    cases.add(initialised("Enumeration.ClosedEnumeratorWalked",
        Expected.throwsAny(IllegalStateException.class), EnumerationCases::closedWalked));
    cases.add(initialised("Enumeration.NoCollectionWalked",
        Expected.throwsWith(DispatchException.class, "not an enumerator"),
        EnumerationCases::noCollection));
    return cases;
  }

  private static IDispatch collection(CaseContext c) {
    return c.track(ComService.createDispatch(TestServer.CLSID_COLLECTION));
  }

  private static Object walkLeftEarly(CaseContext c) {
    for (Object item : collection(c).elements()) {
      return item; // 42: the batch still holds a Counter's wrapper
    }
    return null;
  }

  private static Object closedWalked(CaseContext c) {
    IEnumVARIANT items = collection(c).newEnum();
    items.close();
    int count = 0;
    for (Object item : items) {
      count++;
    }
    return count;
  }

  private static Object noCollection(CaseContext c) {
    int count = 0;
    for (Object item : c.automation().elements()) {
      count++;
    }
    return count;
  }
}
