package com.qel.vandrel.com.win32;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.qel.vandrel.testserver.TestServer;
import java.util.stream.Stream;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * The sample server's Bench members through the bridge, as the benchmark suite uses them: the
 * results it relies on, million-element arrays both ways, and the calls the members refuse.
 */
class BenchMembersTest {
  private ComService.Apartment apartment;
  private int bstrs;
  private int safeArrays;
  private IDispatch bench;

  @BeforeEach
  void createBenchObject() {
    apartment = ComService.enterApartment();
    TestServer.register();
    bstrs = TestServer.liveBstrs();
    safeArrays = TestServer.liveSafeArrays();
    bench = ComService.createDispatch(TestServer.CLSID_BENCH);
  }

  @AfterEach
  void checkNothingLeaked() {
    try {
      bench.close();
      assertEquals(0, TestServer.liveObjects(), "sample objects left alive");
      assertEquals(bstrs, TestServer.liveBstrs(), "BSTRs leaked");
      assertEquals(safeArrays, TestServer.liveSafeArrays(), "SAFEARRAYs leaked");
    } finally {
      TestServer.revoke();
      apartment.close();
    }
  }

  @Test
  void membersAnswerWhatTheBenchmarksRelyOn() {
    assertNull(bench.invoke("Nop"));
    assertEquals("text", bench.invoke("Choose", 7, "text", 2.5));
    assertEquals("", bench.invoke(TestServer.DISPID_BENCH_CHOOSE, IDispatch.DISPATCH_METHOD, 7, "",
        2.5));
    double[] sent = new double[TestServer.BENCH_VECTOR_LENGTH];
    assertNull(bench.invoke("Discard", (Object) sent));

    double[] vector = (double[]) bench.invoke("Vector");
    assertEquals(TestServer.BENCH_VECTOR_LENGTH, vector.length);
    for (int k = 0; k < vector.length; k++) {
      if (vector[k] != k + 1) {
        assertEquals(k + 1, vector[k], "element " + k);
      }
    }
    int side = TestServer.BENCH_MATRIX_SIDE;
    double[][] matrix = (double[][]) bench.invoke("Matrix");
    assertEquals(side, matrix.length);
    for (int i = 0; i < side; i++) {
      assertEquals(side, matrix[i].length);
      for (int j = 0; j < side; j++) {
        if (matrix[i][j] != i + side * j + 1) {
          assertEquals(i + side * j + 1, matrix[i][j], "element [" + i + "][" + j + "]");
        }
      }
    }
  }

  static Stream<Arguments> refusedCalls() {
    return Stream.of(
        Arguments.of("Nop", new Object[] {1}, "0x8002000e"),
        Arguments.of("Choose", new Object[] {7, "text"}, "0x8002000e"),
        Arguments.of("Choose", new Object[] {7, 8, 2.5}, "0x80020005"),
        Arguments.of("Choose", new Object[] {"7", "text", 2.5}, "0x80020005"),
        Arguments.of("Discard", new Object[] {}, "0x8002000e"),
        Arguments.of("Vector", new Object[] {0}, "0x8002000e"));
  }

  @ParameterizedTest(name = "{0} {1}")
  @MethodSource("refusedCalls")
  void wrongArgumentsAreRefused(String member, Object[] args, String hresult) {
    DispatchException e = assertThrows(DispatchException.class, () -> bench.invoke(member, args));
    assertTrue(e.getMessage().startsWith("Failed(" + hresult + ")"), e.getMessage());
  }

  @Test
  void onlyMethodCallsReachTheMembers() {
    DispatchException e = assertThrows(DispatchException.class,
        () -> bench.invoke(TestServer.DISPID_BENCH_NOP, IDispatch.DISPATCH_PROPERTYGET));
    assertTrue(e.getMessage().startsWith("Failed(0x80020003)"), e.getMessage());
  }
}
