package com.qel.vandrel.demo;

import com.qel.vandrel.com.win32.ClsCtx;
import com.qel.vandrel.com.win32.ComService;
import com.qel.vandrel.com.win32.IDispatch;
import com.qel.vandrel.com.win32.IUnknown;
import com.qel.vandrel.testserver.TestServer;

/**
 * A walk through the Java API against the sample COM server: initialise COM, create objects three
 * ways, query an interface, count references, release one later, and check nothing is left.
 */
public final class Demo {
  private Demo() {}

  public static void main(String[] args) {
    int failures = 0;
    try (ComService.Apartment apartment = ComService.enterApartment()) {
      say("COM initialised: %s", apartment);
      TestServer.register();
      say("sample server registered, live objects: %d", TestServer.liveObjects());

      try (IUnknown counter = ComService.coCreateInstance(TestServer.CLSID_COUNTER)) {
        failures += expect(counter != null, "create Counter by class identifier");
        say("created %s, reference count %d", counter, TestServer.refCount(counter.getPtr()));

        try (IDispatch automation = counter.queryDispatch()) {
          failures += expect(automation != null, "query IDispatch");
          say("queried IDispatch: %s, reference count now %d",
              automation, TestServer.refCount(counter.getPtr()));
          say("Kind = %s", automation.get("Kind"));
        }

        say("AddRef -> %d, Release -> %d", counter.addRef(), counter.release());
      }
      say("Counter closed, live objects: %d", TestServer.liveObjects());

      IUnknown localOnly =
          ComService.coCreateInstance(TestServer.CLSID_LOCAL_ONLY, ClsCtx.INPROC_SERVER);
      failures += expect(localOnly == null, "LocalOnly is not found in process");
      say("LocalOnly in process: %s", localOnly == null ? "not found, as registered" : localOnly);

      String displayName = "new:" + TestServer.CLSID_MONIKER;
      try (IUnknown byName = ComService.coGetObject(displayName)) {
        failures += expect(byName != null, "bind " + displayName);
        say("bound \"%s\" to %s", displayName, byName);
      }

      try (IUnknown running = ComService.getActiveObject(TestServer.CLSID_RUNNING)) {
        failures += expect(running != null, "find Running in the running object table");
        say("running object table gave %s", running);
      }

      IUnknown later = ComService.coCreateInstance(TestServer.CLSID_COUNTER);
      failures += expect(later != null, "create a Counter to release later");
      later.closeLater();
      say("queued a Counter for deferred release, live objects: %d", TestServer.liveObjects());
      // Wrapping the next interface pointer drains the queue on this COM thread.
      try (IUnknown next = ComService.coCreateInstance(TestServer.CLSID_COUNTER);
          IDispatch nextDispatch = next.queryDispatch()) {
        long live = TestServer.liveObjects();
        failures += expect(live == 1, "the queued Counter is released by the next wrapping");
        say("wrapped %s, live objects: %d (only the new Counter)", nextDispatch, live);
      }

      long left = TestServer.liveObjects();
      failures += expect(left == 0, "no object left");
      say("all wrappers closed, live objects: %d", left);
      TestServer.revoke();
    }
    say("COM uninitialised; %s", failures == 0 ? "everything as expected" : failures + " failed");
    System.exit(failures == 0 ? 0 : 1);
  }

  private static int expect(boolean condition, String what) {
    if (!condition) {
      System.out.println("  FAILED: " + what);
    }
    return condition ? 0 : 1;
  }

  private static void say(String format, Object... args) {
    System.out.println("  " + String.format(format, args));
  }
}
