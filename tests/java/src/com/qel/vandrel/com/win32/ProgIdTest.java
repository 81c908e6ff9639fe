package com.qel.vandrel.com.win32;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertNull;

import com.qel.vandrel.testserver.TestServer;
import java.util.function.Function;
import java.util.stream.Stream;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;
import org.junit.jupiter.params.provider.ValueSource;

/** The sample objects created and found by ProgID, the way most Windows callers name classes. */
class ProgIdTest {
  private ComService.Apartment apartment;

  @BeforeEach
  void registerServer() {
    apartment = ComService.enterApartment();
    TestServer.register();
    assertEquals(0, TestServer.liveObjects(), "objects left over by an earlier test");
  }

  @AfterEach
  void revokeServer() {
    try {
      assertEquals(0, TestServer.liveObjects(), "sample objects left alive");
    } finally {
      TestServer.revoke();
      apartment.close();
    }
  }

  @ParameterizedTest(name = "{0}")
  @ValueSource(
      strings = {
        TestServer.PROGID_AUTOMATION,
        TestServer.PROGID_AUTOMATION_INDEPENDENT,
        "oSTREL.sAMPLEaUTOMATION.1"
      })
  void createDispatchTakesAProgId(String progid) {
    try (IDispatch automation = ComService.createDispatch(progid)) {
      assertNotNull(automation, progid);
      assertEquals("by ProgID", automation.invoke("Echo", "by ProgID"));
    }
  }

  static Stream<Arguments> entries() {
    Function<String, IUnknown> inProcess = p -> ComService.coCreateInstance(p, ClsCtx.INPROC_SERVER);
    Function<String, IUnknown> local = p -> ComService.coCreateInstance(p, ClsCtx.LOCAL_SERVER);
    Function<String, IUnknown> bind = p -> ComService.coGetObject("new:" + p);
    Function<String, IUnknown> running = ComService::getActiveObject;
    return Stream.of(
        Arguments.of("coCreateInstance", inProcess, TestServer.PROGID_COUNTER, "Counter"),
        Arguments.of(
            "coCreateInstance", inProcess, TestServer.PROGID_COUNTER_INDEPENDENT, "Counter"),
        Arguments.of("coCreateInstance local", local, TestServer.PROGID_LOCAL_ONLY, "LocalOnly"),
        Arguments.of("coGetObject new:", bind, TestServer.PROGID_MONIKER, "Moniker"),
        Arguments.of("coGetObject new:", bind, TestServer.PROGID_COUNTER_INDEPENDENT, "Counter"),
        Arguments.of("getActiveObject", running, TestServer.PROGID_RUNNING, "Running"),
        Arguments.of("getActiveObject", running, TestServer.PROGID_RUNNING_INDEPENDENT, "Running"));
  }

  @ParameterizedTest(name = "{0} {2}")
  @MethodSource("entries")
  void everyEntryTakesAProgId(
      String entry, Function<String, IUnknown> create, String progid, String kind) {
    try (IUnknown object = create.apply(progid);
        IDispatch automation = object == null ? null : object.queryDispatch()) {
      assertNotNull(automation, entry + " " + progid);
      assertEquals(kind, automation.get("Kind"));
    }
  }

  @Test
  void unknownProgIdsGiveNull() {
    assertNull(ComService.createDispatch("Ostrel.NoSuchSample"));
    assertNull(ComService.coGetObject("new:Ostrel.NoSuchSample"));
    assertNull(ComService.getActiveObject("Ostrel.NoSuchSample"));
    assertNull(
        ComService.coCreateInstance(TestServer.PROGID_LOCAL_ONLY, ClsCtx.INPROC_SERVER),
        "a local server kept apart from in-process requests");
  }

  @Test
  void registeringAgainAfterARevokeBringsTheProgIdsBack() {
    TestServer.revoke();
    assertNull(ComService.createDispatch(TestServer.PROGID_AUTOMATION));
    TestServer.register();
    try (IDispatch automation = ComService.createDispatch(TestServer.PROGID_AUTOMATION)) {
      assertNotNull(automation);
    }
  }
}
