package com.qel.vandrel.hostile;

import static com.qel.vandrel.hostile.HostileCase.initialised;

import com.qel.vandrel.com.win32.ComException;
import com.qel.vandrel.com.win32.ComService;
import com.qel.vandrel.com.win32.DispatchException;
import com.qel.vandrel.com.win32.IDispatch;
import com.qel.vandrel.com.win32.IUnknown;
import com.qel.vandrel.testserver.TestServer;
import java.util.ArrayList;
import java.util.List;

/**
 * Objects whose Release raises an access violation (the sample server's FaultyRelease), released
 * by the library on each of its paths: clearing a call's arguments, destroying a half-built
 * argument array, replacing a stored property, closing, the release queue. The fault becomes an
 * exception; nothing is leaked.
 */
final class FaultyReleaseCases {
  private static final Expected ACCESS_VIOLATION =
      Expected.throwsWith(DispatchException.class, "Access Violation");
  /** The conversion's own refusal of the second element stays the exception. */
  private static final Expected REFUSED_ELEMENT =
      Expected.throwsWith(DispatchException.class, "is not yet supported");

  private FaultyReleaseCases() {}

  static List<HostileCase> all() {
    List<HostileCase> cases = new ArrayList<>();
    cases.add(initialised(
        "FaultyRelease.InsideAnArrayArgument", ACCESS_VIOLATION, FaultyReleaseCases::inArray));
    cases.add(initialised("FaultyRelease.InsideAHalfBuiltArrayArgument", REFUSED_ELEMENT,
        FaultyReleaseCases::inHalfBuiltArray));
    cases.add(initialised("FaultyRelease.StoredPropertyReplaced", ACCESS_VIOLATION,
        FaultyReleaseCases::storedPropertyReplaced));
    cases.add(initialised("FaultyRelease.WrapperClosed",
        Expected.throwsWith(ComException.class, "Access violation in release"),
        c -> closeFaulty()));
    cases.add(initialised(
        "FaultyRelease.ReleasedByTheQueue", Expected.returns(), FaultyReleaseCases::queued));
    return cases;
  }

  private static Object inArray(CaseContext c) {
    return c.automation().invoke("Echo", (Object) new Object[] {c.newFaultyRelease()});
  }

  private static Object inHalfBuiltArray(CaseContext c) {
    return c.automation().invoke(
        "Echo", (Object) new Object[] {c.newFaultyRelease(), new Object()});
  }

  private static Object storedPropertyReplaced(CaseContext c) {
    IDispatch automation = c.automation();
    automation.put("Value", c.newFaultyRelease());
    automation.put("Value", null); // the stored copy is released inside Invoke
    return "both puts returned";
  }

  private static Object closeFaulty() {
    IUnknown faulty = ComService.coCreateInstance(TestServer.CLSID_FAULTY_RELEASE);
    faulty.close();
    return "closed";
  }

  private static Object queued(CaseContext c) {
    ComService.coCreateInstance(TestServer.CLSID_FAULTY_RELEASE).closeLater();
    c.newCounter(); // wrapping a pointer drains the queue
    Checks.equal(1L, TestServer.liveObjects(), "live objects after the drain");
    return "drained";
  }
}
