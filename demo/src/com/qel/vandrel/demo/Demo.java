package com.qel.vandrel.demo;

import com.qel.vandrel.com.win32.ClsCtx;
import com.qel.vandrel.com.win32.ComService;
import com.qel.vandrel.com.win32.DispatchException;
import com.qel.vandrel.com.win32.Guid;
import com.qel.vandrel.com.win32.Handler;
import com.qel.vandrel.com.win32.IDispatch;
import com.qel.vandrel.com.win32.IEnumUnknown;
import com.qel.vandrel.com.win32.IOleContainer;
import com.qel.vandrel.com.win32.IUnknown;
import com.qel.vandrel.com.win32.RefInt;
import com.qel.vandrel.com.win32.RefString;
import com.qel.vandrel.com.win32.UrlHistory;
import com.qel.vandrel.com.win32.impl.IOleContainerImpl;
import com.qel.vandrel.testserver.TestServer;
import java.util.Arrays;

/**
 * A walk through the Java API against the sample COM server: initialise COM, create objects three
 * ways, query an interface, count references, release one later, make automation calls (methods,
 * properties, arrays, by-reference results, errors), walk a container's objects and an automation
 * collection, ask the URL history about two URLs, and check nothing is left.
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

      failures += automation();
      failures += events();
      failures += containerAndHistory();

      long left = TestServer.liveObjects();
      failures += expect(left == 0, "no object left");
      say("all wrappers closed, live objects: %d", left);
      TestServer.revoke();
    }
    say("COM uninitialised; %s", failures == 0 ? "everything as expected" : failures + " failed");
    System.exit(failures == 0 ? 0 : 1);
  }

  /** A container's objects walked with for-each, and the URL history asked about two URLs. */
  private static int containerAndHistory() {
    int failures = 0;
    try (IUnknown object = ComService.coCreateInstance(TestServer.CLSID_CONTAINER);
        IOleContainer container = IOleContainerImpl.queryFrom(object)) {
      IOleContainer.Lock lock = container.lock();
      try (IEnumUnknown objects = container.enumObjects(IOleContainer.OLECONTF_EMBEDDINGS)) {
        int walked = 0;
        for (IUnknown element : objects) {
          try (IUnknown e = element) {
            say("container object %d: %s", ++walked, e);
          }
        }
        failures +=
            expect(walked == TestServer.ENUMERATOR_ELEMENTS, "walk the container's objects");
      } finally {
        lock.close();
      }
    }
    try (IDispatch collection = ComService.createDispatch(TestServer.PROGID_COLLECTION)) {
      int walked = 0;
      for (Object item : collection.elements()) {
        say("collection item %d: %s", ++walked, item);
        if (item instanceof IUnknown) {
          ((IUnknown) item).close();
        }
      }
      failures +=
          expect(walked == (Integer) collection.get("Count"), "walk a collection with for-each");
    }
    String visited = "http://ostrel.test/demo/visited";
    TestServer.addVisitedUrl(visited);
    try (UrlHistory history = new UrlHistory()) {
      boolean seen = history.isVisited(visited);
      boolean unseen = history.isVisited("http://ostrel.test/demo/never");
      say("URL history: %s visited %b, the unvisited one %b", visited, seen, unseen);
      failures += expect(seen && !unseen, "the URL history knows the visited URL only");
    } finally {
      TestServer.deleteVisitedUrl(visited);
    }
    return failures;
  }

  /** Late-bound calls on the sample Automation object; returns the number of failed checks. */
  private static int automation() {
    int failures = 0;
    try (IDispatch automation = ComService.createDispatch(TestServer.CLSID_AUTOMATION)) {
      failures += expect(automation != null, "create the Automation object");
      say("created Automation: %s", automation);

      Object echoed = automation.invoke("Echo", "hello");
      failures += expect("hello".equals(echoed), "Echo returns its argument");
      say("Echo(\"hello\") = %s", echoed);

      automation.put("Value", 42);
      Object value = automation.get("Value");
      failures += expect(Integer.valueOf(42).equals(value), "Value reads back what was put");
      say("put Value = 42, get Value = %s", value);

      int[] numbers = (int[]) automation.invoke("Echo", (Object) new int[] {3, 1, 4});
      failures += expect(Arrays.equals(new int[] {3, 1, 4}, numbers), "an int[] round trip");
      say("Echo(int[] {3, 1, 4}) = %s", Arrays.toString(numbers));
      int[] made = (int[]) automation.invoke("MakeArray", 3 /* VT_I4 */, 1, 5);
      failures += expect(made.length == 5 && made[0] == 1, "MakeArray(VT_I4, 1, 5)");
      say("MakeArray(VT_I4, lower bound 1, 5 elements) = %s", Arrays.toString(made));

      try (RefInt number = new RefInt();
          RefString text = new RefString("old")) {
        automation.invoke("SetRef", number, 7);
        automation.invoke("SetRef", text, "new");
        failures += expect(number.get() == 7, "SetRef writes a RefInt");
        failures += expect("new".equals(text.get()), "SetRef replaces the string of a RefString");
        say("SetRef wrote RefInt = %d and RefString \"old\" -> \"%s\"", number.get(), text.get());
      }

      try {
        automation.invoke("Fail", "the sample failed on purpose");
        failures += expect(false, "Fail throws");
      } catch (DispatchException e) {
        say("Fail threw %s: %s", e.getClass().getSimpleName(), e.getMessage());
      }
    }
    say("Automation closed, live objects: %d", TestServer.liveObjects());
    return failures;
  }

  /** Connects a Java listener to the sample event source, fires events and disconnects. */
  private static int events() {
    int failures = 0;
    int[] received = {0};
    try (IDispatch source = ComService.createDispatch(TestServer.CLSID_EVENT_SOURCE);
        Handler sink = Handler.listening((dispId, eventArgs) -> {
          received[0]++;
          say("event %d arrived with %s", dispId, Arrays.toString(eventArgs));
          return eventArgs.length == 1 ? "answer to " + eventArgs[0] : null;
        })) {
      try (Handler.Connection connection =
              sink.connect(source, Guid.parse(TestServer.EVENTS_IID))) {
        say("sink connected: %s", connection.isOpen());
        source.invoke(TestServer.DISPID_FIRE_NO_ARGS, IDispatch.DISPATCH_METHOD);
        source.invoke(TestServer.DISPID_FIRE_NAMED, IDispatch.DISPATCH_METHOD);
        Object back =
            source.invoke(TestServer.DISPID_FIRE_FOR_RESULT, IDispatch.DISPATCH_METHOD, "ping");
        say("the source read back: %s", back);
        failures += expect("answer to ping".equals(back), "the source reads the listener's result");
      }
      source.invoke(TestServer.DISPID_FIRE_NO_ARGS, IDispatch.DISPATCH_METHOD);
      failures += expect(received[0] == 3, "three events while connected, none after");
      say("disconnected after %d events", received[0]);
    }
    return failures;
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
