package com.qel.vandrel.hostile;

import static com.qel.vandrel.hostile.HostileCase.initialised;

import com.qel.vandrel.com.win32.RefString;
import java.util.ArrayList;
import java.util.List;

/** The sample server itself must not be what fails a hostile case. */
final class SampleServerCases {
  private SampleServerCases() {}

  static List<HostileCase> all() {
    List<HostileCase> cases = new ArrayList<>();
    cases.add(initialised(
        "SampleServer.EchoOfANullStringCell", Expected.returns(), SampleServerCases::echoNull));
    return cases;
  }

  private static Object echoNull(CaseContext c) {
    try (RefString cell = new RefString()) {
      Object echoed = c.automation().invoke("Echo", cell);
      Checks.isTrue(echoed == null || "".equals(echoed), "the echo: " + echoed);
      return echoed;
    }
  }
}
