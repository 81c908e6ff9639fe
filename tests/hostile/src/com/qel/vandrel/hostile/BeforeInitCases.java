package com.qel.vandrel.hostile;

import static com.qel.vandrel.hostile.HostileCase.uninitialised;

import com.qel.vandrel.com.win32.ComService;
import com.qel.vandrel.com.win32.IDispatch;
import com.qel.vandrel.com.win32.IUnknown;
import com.qel.vandrel.com.win32.RefInt;
import com.qel.vandrel.com.win32.impl.IDispatchImpl;
import com.qel.vandrel.testserver.TestServer;
import java.lang.reflect.Constructor;
import java.util.ArrayList;
import java.util.List;

/**
 * Calls made in a process where ComService.initialize() never ran: the class cache is empty. What
 * needs it refuses with IllegalStateException naming the call to make first; what does not need
 * it (cells, queueing a release) works.
 */
final class BeforeInitCases {
  private static final Expected NOT_INITIALISED =
      Expected.throwsWith(IllegalStateException.class, "ComService.initialize()");

  private BeforeInitCases() {}

  static List<HostileCase> all() {
    List<HostileCase> cases = new ArrayList<>();
    cases.add(uninitialised("BeforeInit.CoCreateInstance", NOT_INITIALISED, c -> create()));
    cases.add(uninitialised("BeforeInit.CoGetObject", NOT_INITIALISED, c -> bind()));
    cases.add(uninitialised("BeforeInit.GetActiveObject", NOT_INITIALISED, c -> findRunning()));
    cases.add(uninitialised("BeforeInit.MessageBox", NOT_INITIALISED, c -> messageBox()));
    cases.add(uninitialised(
        "BeforeInit.HostObjectInvoked", NOT_INITIALISED, BeforeInitCases::invokeHostObject));
    cases.add(uninitialised(
        "BeforeInit.HostObjectQueried", NOT_INITIALISED, BeforeInitCases::queryHostObject));
    cases.add(uninitialised(
        "BeforeInit.HostObjectClosed", NOT_INITIALISED, BeforeInitCases::closeHostObject));
    cases.add(uninitialised(
        "BeforeInit.HostObjectClosedLater", Expected.returns(), BeforeInitCases::queueHostObject));
    cases.add(uninitialised("BeforeInit.NumberCell", Expected.returns(), c -> numberCell()));
    return cases;
  }

  private static Object create() { return ComService.coCreateInstance(TestServer.CLSID_COUNTER); }

  private static Object bind() { return ComService.coGetObject("new:" + TestServer.CLSID_MONIKER); }

  private static Object findRunning() {
    return ComService.getActiveObject(TestServer.CLSID_RUNNING);
  }

  private static Object messageBox() {
    return ComService.messageBox("text", "caption", ComService.MB_OK);
  }

  private static Object invokeHostObject(CaseContext c) throws ReflectiveOperationException {
    return c.track(hostObject()).invoke("Echo", 1);
  }

  private static Object queryHostObject(CaseContext c) throws ReflectiveOperationException {
    return c.track(hostObject()).queryInterface(IUnknown.IID);
  }

  private static Object closeHostObject(CaseContext c) throws ReflectiveOperationException {
    IDispatch object = hostObject();
    long ptr = object.getPtr();
    try {
      object.close();
      return "closed";
    } catch (RuntimeException e) {
      // The wrapper gave its reference up without releasing it: the harness does, later.
      c.afterCase(() -> TestServer.releaseObject(ptr));
      throw e;
    }
  }

  private static Object queueHostObject(CaseContext c) throws ReflectiveOperationException {
    c.track(hostObject()).closeLater(); // released by the harness's first COM call
    return "queued";
  }

  private static Object numberCell() {
    try (RefInt cell = new RefInt(41)) {
      cell.set(cell.get() + 1);
      Checks.equal(42, cell.get(), "the cell");
      return cell.get();
    }
  }

  /**
   * An object a host application made and hands to Java as a raw pointer, wrapped the way the
   * library wraps pointers (the wrapper takes the one reference over).
   */
  static IDispatch hostObject() throws ReflectiveOperationException {
    long ptr = TestServer.newAutomationObject();
    Checks.isTrue(ptr != 0, "the sample server made no Automation object");
    Constructor<IDispatchImpl> wrap = IDispatchImpl.class.getDeclaredConstructor(long.class);
    wrap.setAccessible(true);
    return wrap.newInstance(ptr);
  }
}
