package com.qel.vandrel.hostile;

import static com.qel.vandrel.hostile.HostileCase.initialised;

import com.qel.vandrel.com.win32.ComService;
import com.qel.vandrel.com.win32.DispatchException;
import com.qel.vandrel.com.win32.IDispatch;
import com.qel.vandrel.com.win32.RefInt;
import com.qel.vandrel.com.win32.RefString;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.atomic.AtomicReference;

/**
 * Careless use of the public API: closed wrappers and cells passed on, no argument array, no
 * names, texts of a million characters, strings that are not well-formed UTF-16, calls from a
 * thread that never initialised COM, one wrapper used by two threads at once.
 */
final class MisuseCases {
  private static final Expected CLOSED = Expected.throwsAny(IllegalStateException.class);
  private static final String MILLION = "x".repeat(1_000_000);
  private static final int SHARED_CALLS = 2000;

  private MisuseCases() {}

  static List<HostileCase> all() {
    List<HostileCase> cases = new ArrayList<>();
    cases.add(
        initialised("Misuse.ClosedWrapperArgument", CLOSED, MisuseCases::closedWrapperArgument));
    cases.add(initialised(
        "Misuse.ClosedWrapperInsideAnArrayArgument", CLOSED, MisuseCases::closedWrapperInArray));
    cases.add(initialised("Misuse.ClosedCellArgument", CLOSED, MisuseCases::closedCellArgument));
    cases.add(initialised(
        "Misuse.ClosedStringCellInsideAnArrayArgument", CLOSED, MisuseCases::closedCellInArray));
    cases.add(initialised("Misuse.CallOnAClosedWrapper", CLOSED, MisuseCases::callOnClosed));
    // Echo without its argument: the callee's DISP_E_BADPARAMCOUNT.
    cases.add(initialised("Misuse.NullArgumentArray",
        Expected.throwsWith(DispatchException.class, "0x8002000e"), MisuseCases::nullArguments));
    cases.add(initialised("Misuse.NoNamesToLookUp", Expected.returns(), MisuseCases::noNames));
    cases.add(initialised("Misuse.MillionCharacterMemberName",
        Expected.throwsWith(DispatchException.class, "Unknown name"), MisuseCases::hugeName));
    cases.add(initialised("Misuse.MillionCharacterFailureDescription",
        Expected.throwsWith(DispatchException.class, "Failed(0x80020009)"),
        MisuseCases::hugeDescription));
    cases.add(
        initialised("Misuse.MillionCharacterClassId", Expected.returns(), c -> hugeClassId()));
    cases.add(initialised(
        "Misuse.MillionCharacterDisplayName", Expected.returns(), c -> hugeDisplayName()));
    cases.add(initialised("Misuse.IllFormedUtf16", Expected.returns(), MisuseCases::illFormed));
    cases.add(initialised(
        "Misuse.CallFromAThreadWithoutCom", Expected.returns(), MisuseCases::threadWithoutCom));
    cases.add(
        initialised("Misuse.TwoThreadsShareAWrapper", Expected.returns(), MisuseCases::shared));
    return cases;
  }

  private static Object closedWrapperArgument(CaseContext c) throws Exception {
    return c.automation().invoke("Echo", closed(c.newCounter()));
  }

  private static Object closedWrapperInArray(CaseContext c) throws Exception {
    return c.automation().invoke("Echo", (Object) new Object[] {1, closed(c.newCounter())});
  }

  private static Object closedCellArgument(CaseContext c) throws Exception {
    return c.automation().invoke("SetRef", closed(new RefInt()), 5);
  }

  private static Object closedCellInArray(CaseContext c) throws Exception {
    return c.automation().invoke("Echo", (Object) new Object[] {closed(new RefString("s"))});
  }

  private static Object callOnClosed(CaseContext c) throws Exception {
    return closed(c.newAutomation()).invoke("Echo", 1);
  }

  private static Object nullArguments(CaseContext c) {
    return c.automation().invoke("Echo", (Object[]) null);
  }

  private static Object noNames(CaseContext c) {
    long[] ids = c.automation().getIDsOfNames();
    Checks.isTrue(ids == null || ids.length == 0, "DISPIDs for no names");
    return ids;
  }

  private static Object hugeName(CaseContext c) { return c.automation().invoke(MILLION); }

  private static Object hugeDescription(CaseContext c) {
    try {
      return c.automation().invoke("Fail", MILLION);
    } catch (DispatchException e) {
      Checks.isTrue(e.getMessage().length() <= 1023, "a message of more than 1023 units");
      throw e;
    }
  }

  private static Object hugeClassId() {
    Checks.equal(null, ComService.coCreateInstance("{" + MILLION + "}"), "the object");
    return null;
  }

  private static Object hugeDisplayName() {
    Checks.equal(null, ComService.coGetObject("new:" + MILLION), "the object");
    return null;
  }

  private static Object illFormed(CaseContext c) {
    String text = "a\u0000b\uD800\uDFFF\uDC00z\uD800";
    Checks.equal(text, c.automation().invoke("Echo", text), "the echo");
    return text.length();
  }

  private static Object threadWithoutCom(CaseContext c) throws Throwable {
    IDispatch automation = c.automation();
    AtomicReference<Object> echoed = new AtomicReference<>();
    AtomicReference<Throwable> failure = new AtomicReference<>();
    Thread thread = new Thread(() -> {
      try {
        echoed.set(automation.invoke("Echo", 7));
      } catch (Throwable t) {
        failure.set(t);
      }
    });
    thread.start();
    thread.join();
    if (failure.get() != null) {
      throw failure.get();
    }
    Checks.equal(7, echoed.get(), "the echo");
    return echoed.get();
  }

  private static Object shared(CaseContext c) throws Throwable {
    IDispatch automation = c.automation();
    AtomicReference<Throwable> failure = new AtomicReference<>();
    Thread[] threads = new Thread[2];
    for (int t = 0; t < threads.length; t++) {
      String tag = "thread " + t + " ";
      threads[t] = new Thread(() -> {
        ComService.initialize();
        try {
          for (int i = 0; i < SHARED_CALLS; i++) {
            Checks.equal(tag + i, automation.invoke("Echo", tag + i), "the echo");
          }
        } catch (Throwable e) {
          failure.compareAndSet(null, e);
        } finally {
          ComService.uninitialize();
        }
      });
      threads[t].start();
    }
    for (Thread thread : threads) {
      thread.join();
    }
    if (failure.get() != null) {
      throw failure.get();
    }
    return threads.length * SHARED_CALLS + " echoes";
  }

  private static <T extends AutoCloseable> T closed(T resource) throws Exception {
    resource.close();
    return resource;
  }
}
