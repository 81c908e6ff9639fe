package com.qel.vandrel.com.win32;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;

import com.qel.vandrel.testserver.TestServer;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;

/**
 * A COM apartment on the test thread, the sample server registered, and one Automation object in
 * {@link #automation}. After each test the object is closed and the sample objects, BSTRs and
 * SAFEARRAYs of the portable runtime must be back where they were before it.
 */
abstract class AutomationFixture {
  /** VARTYPE numbers as the sample server takes them in ReturnType and MakeArray. */
  static final int VT_EMPTY = 0;
  static final int VT_NULL = 1;
  static final int VT_I2 = 2;
  static final int VT_I4 = 3;
  static final int VT_R4 = 4;
  static final int VT_R8 = 5;
  static final int VT_CY = 6;
  static final int VT_DATE = 7;
  static final int VT_BSTR = 8;
  static final int VT_DISPATCH = 9;
  static final int VT_ERROR = 10;
  static final int VT_BOOL = 11;
  static final int VT_VARIANT = 12;
  static final int VT_UNKNOWN = 13;
  static final int VT_DECIMAL = 14;
  static final int VT_I1 = 16;
  static final int VT_UI1 = 17;
  static final int VT_UI2 = 18;
  static final int VT_UI4 = 19;
  static final int VT_I8 = 20;
  static final int VT_UI8 = 21;
  static final int VT_INT = 22;
  static final int VT_UINT = 23;
  static final int VT_BYREF = 0x4000;

  private ComService.Apartment apartment;
  private int bstrs;
  private int safeArrays;
  IDispatch automation;

  @BeforeEach
  void createAutomationObject() {
    apartment = ComService.enterApartment();
    TestServer.register();
    assertEquals(0, TestServer.liveObjects(), "objects left over by an earlier test");
    bstrs = TestServer.liveBstrs();
    safeArrays = TestServer.liveSafeArrays();
    automation = ComService.createDispatch(TestServer.CLSID_AUTOMATION);
    assertNotNull(automation);
  }

  @AfterEach
  void checkNothingLeaked() {
    try {
      automation.close();
      assertEquals(0, TestServer.liveObjects(), "sample objects left alive");
      assertEquals(bstrs, TestServer.liveBstrs(), "BSTRs leaked");
      assertEquals(safeArrays, TestServer.liveSafeArrays(), "SAFEARRAYs leaked");
    } finally {
      TestServer.revoke();
      apartment.close();
    }
  }

  /** The sample's record of the previous Invoke ("dispid=... flags=... cArgs=..."). */
  String lastCall() {
    return (String) automation.invoke(TestServer.DISPID_LAST_CALL, IDispatch.DISPATCH_PROPERTYGET);
  }

  /** A new Counter object as an automation wrapper. */
  static IDispatch newCounter() {
    IDispatch counter = ComService.createDispatch(TestServer.CLSID_COUNTER);
    assertNotNull(counter);
    return counter;
  }

  static int refCount(IUnknown object) { return TestServer.refCount(object.getPtr()); }
}
