package com.qel.vandrel.com.win32;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;

import com.qel.vandrel.testserver.TestServer;
import java.time.Instant;
import java.time.LocalDate;
import java.time.LocalDateTime;
import java.time.ZoneId;
import java.util.ArrayList;
import java.util.Calendar;
import java.util.Date;
import java.util.List;
import java.util.TimeZone;
import java.util.concurrent.atomic.AtomicBoolean;
import java.util.stream.Stream;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * Dates through COM: wall-clock time in the default time zone, in the Gregorian calendar whatever
 * the default locale. CMake runs this class again in JVMs whose default locale has another
 * calendar (th_TH: Buddhist, ja_JP_JP: Japanese imperial) and names the calendar in the system
 * property {@code ostrel.test.calendar}, so such a run cannot silently fall back to Gregorian.
 *
 * <p>The OLE date COM receives is read back as a number: the sample's SetRef stores a date
 * argument in a {@link RefDouble} unchanged.
 */
class DateConversionTest extends AutomationFixture {
  private static final double MARCH_15_2001_10_20_30 = 36965 + 37230 / 86400.0;

  @BeforeAll
  static void theRunHasTheCalendarItWasStartedFor() {
    String expected = System.getProperty("ostrel.test.calendar");
    if (expected != null) {
      assertEquals(expected, Calendar.getInstance().getCalendarType());
    }
  }

  private static Date local(int year, int month, int day, int hour, int minute, int second) {
    LocalDateTime wallClock = LocalDateTime.of(year, month, day, hour, minute, second);
    return Date.from(wallClock.atZone(ZoneId.systemDefault()).toInstant());
  }

  /** The OLE date a Java date becomes, as COM received it. */
  private static double oleDateOf(IDispatch automation, Date date) {
    try (RefDouble cell = new RefDouble()) {
      automation.invoke("SetRef", cell, date);
      return cell.get();
    }
  }

  static Stream<Arguments> dates() {
    return Stream.of(
        Arguments.of(local(2001, 3, 15, 10, 20, 30), MARCH_15_2001_10_20_30),
        Arguments.of(local(1899, 12, 30, 0, 0, 0), 0.0),
        Arguments.of(local(1000, 1, 1, 0, 0, 0), -328716.0), // no Julian days
        Arguments.of(local(100, 1, 1, 0, 0, 0), -657434.0),
        Arguments.of(local(9999, 12, 31, 23, 59, 59), 2958465 + 86399 / 86400.0));
  }

  @ParameterizedTest(name = "{0} -> {1}")
  @MethodSource("dates")
  void datesReachComAsTheirGregorianWallClockTime(Date date, double ole) {
    assertEquals(ole, oleDateOf(automation, date), 1e-9);
  }

  @Test
  void comDatesComeBackAsTheirGregorianWallClockTime() {
    assertEquals(local(2001, 3, 15, 10, 20, 30), automation.invoke("ReturnType", VT_DATE));
  }

  @Test
  void datesBeforeTheChristianEraAreRefusedAndLeaveLaterDatesAlone() {
    for (int year : new int[] {-499, 0}) { // 500 BC and 1 BC
      Date before = Date.from(LocalDate.of(year, 6, 1).atStartOfDay(ZoneId.systemDefault())
          .toInstant());
      DispatchException e =
          assertThrows(DispatchException.class, () -> automation.invoke("Echo", before));
      assertEquals(
          "The date " + before + " is outside the range of the OLE date type.", e.getMessage());
      assertEquals(local(2001, 3, 15, 10, 20, 30), automation.invoke("ReturnType", VT_DATE),
          "read right after the refusal");
    }
  }

  @Test
  void theRepeatedHourWhenSummerTimeEndsComesBackAsItsLaterInstant() {
    TimeZone previous = TimeZone.getDefault();
    TimeZone.setDefault(TimeZone.getTimeZone("Europe/Berlin"));
    ComService.initialize(); // the shared calendar takes the new default zone
    try {
      // 31 October 2021, 02:30 happens twice in Berlin: in summer time, then in winter time.
      Date summer = Date.from(Instant.parse("2021-10-31T00:30:00Z"));
      Date winter = Date.from(Instant.parse("2021-10-31T01:30:00Z"));
      double ole = 44500 + 2.5 / 24;
      assertEquals(ole, oleDateOf(automation, summer), 1e-9);
      assertEquals(ole, oleDateOf(automation, winter), 1e-9);

      automation.put("Value", summer);
      assertEquals(winter, automation.get("Value"), "one OLE date, the later instant");
      automation.put("Value", null);
    } finally {
      TimeZone.setDefault(previous);
      ComService.initialize();
      ComService.uninitialize();
      ComService.uninitialize();
    }
  }

  @Test
  void reinitialisingWhileTwoThreadsConvertDatesShiftsNoResult() throws Exception {
    AtomicBoolean converting = new AtomicBoolean(true);
    List<String> wrong = new ArrayList<>();
    Thread[] converters = new Thread[2];
    for (int t = 0; t < converters.length; ++t) {
      Date date = t == 0 ? local(2001, 3, 15, 10, 20, 30) : local(1000, 1, 1, 0, 0, 0);
      double ole = t == 0 ? MARCH_15_2001_10_20_30 : -328716.0;
      converters[t] = new Thread(() -> {
        ComService.initialize();
        try (IDispatch own = ComService.createDispatch(TestServer.CLSID_AUTOMATION)) {
          for (int i = 0; i < 300; ++i) {
            double sent = oleDateOf(own, date);
            own.put("Value", date);
            Object back = own.get("Value");
            if ((sent != ole || !date.equals(back)) && wrong.size() < 3) {
              synchronized (wrong) {
                wrong.add(date + " went as " + sent + " and came back as " + back);
              }
            }
          }
          own.put("Value", null);
        } finally {
          ComService.uninitialize();
        }
      });
    }
    Thread reinitialising = new Thread(() -> {
      while (converting.get()) {
        ComService.initialize(); // each one makes a new shared calendar
        ComService.uninitialize();
      }
    });
    reinitialising.start();
    for (Thread t : converters) {
      t.start();
    }
    for (Thread t : converters) {
      t.join();
    }
    converting.set(false);
    reinitialising.join();
    assertEquals(List.of(), wrong);
  }
}
