package com.qel.vandrel.hostile;

import static com.qel.vandrel.hostile.HostileCase.initialised;

import com.qel.vandrel.com.win32.DispatchException;
import java.util.ArrayList;
import java.util.List;

/**
 * Nested Object[] arguments: arrays that contain themselves, nesting far beyond any sane depth,
 * and ordinary nestings that must still make the round trip, without a JNI warning.
 */
final class NestingCases {
  private static final Expected CONTAINS_ITSELF =
      Expected.throwsWith(DispatchException.class, "contains itself");

  private NestingCases() {}

  static List<HostileCase> all() {
    List<HostileCase> cases = new ArrayList<>();
    cases.add(initialised(
        "Nesting.ArrayContainingItself", CONTAINS_ITSELF, NestingCases::selfContaining));
    cases.add(initialised("Nesting.ArrayContainingItselfTwoLevelsDown", CONTAINS_ITSELF,
        NestingCases::selfContainingTwoLevelsDown));
    cases.add(initialised("Nesting.TenThousandLevels", Expected.throwsAny(DispatchException.class),
        NestingCases::tenThousandLevels));
    cases.add(initialised(
        "Nesting.TwelveLevelsRoundTrip", Expected.returns(), NestingCases::twelveLevels));
    cases.add(initialised(
        "Nesting.OneArrayTwiceIsNoCycle", Expected.returns(), NestingCases::oneArrayTwice));
    return cases;
  }

  private static Object selfContaining(CaseContext c) {
    Object[] array = new Object[1];
    array[0] = array;
    return c.automation().invoke("Echo", (Object) array);
  }

  private static Object selfContainingTwoLevelsDown(CaseContext c) {
    Object[] outer = new Object[2];
    Object[] inner = {"inner", outer};
    outer[0] = "outer";
    outer[1] = inner; // outer[1][1] == outer
    return c.automation().invoke("Echo", (Object) outer);
  }

  private static Object tenThousandLevels(CaseContext c) {
    return c.automation().invoke("Echo", (Object) nested(10_000));
  }

  private static Object twelveLevels(CaseContext c) {
    Object echoed = c.automation().invoke("Echo", (Object) nested(12));
    Checks.equal(nested(12), echoed, "the echoed nesting");
    return "12 levels";
  }

  private static Object oneArrayTwice(CaseContext c) {
    Object[] shared = {1, "s"};
    Object echoed = c.automation().invoke("Echo", (Object) new Object[] {shared, shared});
    Checks.equal(new Object[] {new Object[] {1, "s"}, new Object[] {1, "s"}}, echoed, "the echo");
    return echoed;
  }

  /** {"leaf"} wrapped in Object[]s to the given depth (1: {"leaf"}). */
  static Object[] nested(int depth) {
    Object[] array = {"leaf"};
    for (int level = 1; level < depth; level++) {
      array = new Object[] {array};
    }
    return array;
  }
}
