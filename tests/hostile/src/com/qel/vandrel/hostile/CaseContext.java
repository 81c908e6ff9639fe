package com.qel.vandrel.hostile;

import com.qel.vandrel.com.win32.ComService;
import com.qel.vandrel.com.win32.IDispatch;
import com.qel.vandrel.com.win32.IUnknown;
import com.qel.vandrel.testserver.TestServer;
import java.util.ArrayDeque;
import java.util.ArrayList;
import java.util.Deque;
import java.util.List;

/**
 * What a case works with: objects of the sample server, made on demand, and whatever else the case
 * hands over with {@link #track}. The harness closes all of it after the case, newest first, with
 * the faulting Release of FaultyRelease objects switched off, on a thread with COM initialised.
 */
final class CaseContext {
  /** Something the harness does after the case; it may throw. */
  @FunctionalInterface
  interface Cleanup {
    void run() throws Throwable;
  }

  private final Deque<Cleanup> cleanups = new ArrayDeque<>();
  private IDispatch automation;

  /** The case's Automation object (made on first use). */
  IDispatch automation() {
    if (automation == null) {
      automation = newAutomation();
    }
    return automation;
  }

  /** A new Automation object of the case's own. */
  IDispatch newAutomation() {
    return track(created(ComService.createDispatch(TestServer.CLSID_AUTOMATION), "Automation"));
  }

  /** A new Counter object, as an automation wrapper. */
  IDispatch newCounter() {
    return track(created(ComService.createDispatch(TestServer.CLSID_COUNTER), "Counter"));
  }

  /** A new FaultyRelease object: every Release raises an access violation. */
  IUnknown newFaultyRelease() {
    return track(created(ComService.coCreateInstance(TestServer.CLSID_FAULTY_RELEASE), "Faulty"));
  }

  /** Hands a resource to the harness, which closes it after the case. */
  <T extends AutoCloseable> T track(T resource) {
    cleanups.push(resource::close);
    return resource;
  }

  /** Something to do after the case, before the wrappers made before it are closed. */
  void afterCase(Cleanup cleanup) { cleanups.push(cleanup); }

  /** Runs every cleanup, newest first; returns the failures. */
  List<String> cleanUp() {
    List<String> failures = new ArrayList<>();
    while (!cleanups.isEmpty()) {
      try {
        cleanups.pop().run();
      } catch (Throwable e) {
        failures.add(e.getClass().getName() + ": " + e.getMessage());
      }
    }
    return failures;
  }

  private static <T> T created(T object, String what) {
    if (object == null) {
      throw new IllegalStateException("the sample server made no " + what + " object");
    }
    return object;
  }
}
