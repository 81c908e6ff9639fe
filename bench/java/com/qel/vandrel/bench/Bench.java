package com.qel.vandrel.bench;

import com.qel.vandrel.com.win32.ComService;
import com.qel.vandrel.com.win32.Guid;
import com.qel.vandrel.com.win32.Handler;
import com.qel.vandrel.com.win32.IDispatch;
import com.qel.vandrel.com.win32.impl.IUnknownImpl;
import com.qel.vandrel.testserver.TestServer;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;

/**
 * The benchmark suite: each figure of the bridge beside its floor, measured in one process.
 *
 * <p>Every row runs warm-up rounds first and then several measured rounds. In each round the
 * figure and its floor are measured one after the other and their ratio is taken in that round;
 * the report gives minimum and median over the rounds of each. Nothing here decides pass or fail:
 * the targets are printed for the reader.
 *
 * <p>System properties: bench.rounds (measured rounds, default 7), bench.warmup (warm-up rounds,
 * default 2), bench.loop (calls of the long loop, default 10000000).
 */
public final class Bench {
  private static final int METHOD = IDispatch.DISPATCH_METHOD;
  private static final int LCID = IDispatch.LOCALE_USER_DEFAULT;
  private static final Object[] NO_ARGS = {};
  private static final int VECTOR_BYTES = TestServer.BENCH_VECTOR_LENGTH * 8;
  private static final String TEXT = "benchmark";
  private static final int EVENTS_PER_CALL = 200_000;

  /** One operation batch; returns nanoseconds per operation. */
  interface Batch {
    double run();
  }

  /** One row: the figure, its floor and an optional extra column (NaN when none). */
  static final class Row {
    final String name;
    final String target;
    final Batch figure;
    final Batch floor;
    final Batch extra;
    final String extraName;
    final Rounds rounds = new Rounds();

    Row(String name, String target, Batch figure, Batch floor, String extraName, Batch extra) {
      this.name = name;
      this.target = target;
      this.figure = figure;
      this.floor = floor;
      this.extraName = extraName;
      this.extra = extra;
    }

    void round(boolean record) {
      double f = figure.run();
      double fl = floor.run();
      double x = extra != null ? extra.run() : Double.NaN;
      if (record) {
        rounds.add(f, fl, x);
      }
    }
  }

  private final IDispatch bench;
  private final IDispatch source;
  private final long ptr;
  private final Floors floors = new Floors();
  private final double[] doubles = new double[TestServer.BENCH_VECTOR_LENGTH];
  private Object sink;

  private Bench(IDispatch bench, IDispatch source) {
    this.bench = bench;
    this.source = source;
    this.ptr = ((IUnknownImpl) bench).getPtr();
    for (int i = 0; i < doubles.length; i++) {
      doubles[i] = i + 1;
    }
  }

  @SuppressWarnings("try") // the connection is only held open while the rows run
  public static void main(String[] args) throws IOException {
    int rounds = Integer.getInteger("bench.rounds", 7);
    int warmup = Integer.getInteger("bench.warmup", 2);
    long loop = Long.getLong("bench.loop", 10_000_000L);
    ComService.Apartment apartment = ComService.enterApartment();
    try {
      TestServer.register();
      try {
        IDispatch bench = ComService.createDispatch(TestServer.CLSID_BENCH);
        IDispatch source = ComService.createDispatch(TestServer.CLSID_EVENT_SOURCE);
        Guid events = Guid.parse(TestServer.EVENTS_IID);
        try (Handler handler = Handler.listening((dispId, arguments) -> null);
            Handler.Connection connection = handler.connect(source, events)) {
          new Bench(bench, source).run(rounds, warmup, loop);
        } finally {
          source.close();
          bench.close();
        }
      } finally {
        TestServer.revoke();
      }
    } finally {
      apartment.close();
    }
  }

  private void run(int rounds, int warmup, long loop) throws IOException {
    checkResults();
    List<Row> rows = rows();
    System.out.printf(
        Locale.ROOT,
        "Ostrel32 benchmarks: %d warm-up and %d measured rounds; every ratio is figure / floor,"
            + " both measured in the same round (minimum and median over the rounds)%n%n",
        warmup,
        rounds);
    for (int r = 0; r < warmup + rounds; r++) {
      for (Row row : rows) {
        row.round(r >= warmup);
      }
    }
    report(rows);
    longLoop(loop);
  }

  private List<Row> rows() {
    List<Row> rows = new ArrayList<>();
    Batch emptyNative0 =
        timed(
            200_000,
            n -> {
              for (int i = 0; i < n; i++) {
                sink = floors.emptyInvoke(ptr, TestServer.DISPID_BENCH_NOP, LCID, METHOD, NO_ARGS);
              }
            });
    Batch directNop =
        timed(200_000, n -> check(Floors.directInvoke(ptr, TestServer.DISPID_BENCH_NOP, n)));
    Batch nopFloor = () -> emptyNative0.run() + directNop.run();
    rows.add(
        new Row(
            "call Nop(), by DISPID",
            "<= 1.5",
            timed(
                200_000,
                n -> {
                  for (int i = 0; i < n; i++) {
                    sink = bench.invoke(TestServer.DISPID_BENCH_NOP, METHOD);
                  }
                }),
            nopFloor,
            null,
            null));
    rows.add(
        new Row(
            "call Nop(), by name",
            "<= 1.5",
            timed(
                200_000,
                n -> {
                  for (int i = 0; i < n; i++) {
                    sink = bench.invoke("Nop");
                  }
                }),
            nopFloor,
            null,
            null));

    Batch emptyNative3 =
        timed(
            200_000,
            n -> {
              for (int i = 0; i < n; i++) {
                sink =
                    floors.emptyInvoke(
                        ptr, TestServer.DISPID_BENCH_CHOOSE, LCID, METHOD,
                        new Object[] {7, TEXT, 2.5});
              }
            });
    Batch directChoose = timed(200_000, n -> check(Floors.directChoose(ptr, 7, TEXT, 2.5, n)));
    rows.add(
        new Row(
            "call Choose(int, String, double) -> String",
            "<= 4",
            timed(
                200_000,
                n -> {
                  for (int i = 0; i < n; i++) {
                    sink = bench.invoke(TestServer.DISPID_BENCH_CHOOSE, METHOD, 7, TEXT, 2.5);
                  }
                }),
            () -> emptyNative3.run() + directChoose.run(),
            null,
            null));

    Batch copy8 = timed(40, n -> checkCopy(Floors.copyBytes(VECTOR_BYTES, n)));
    rows.add(
        new Row(
            "Java double[1_000_000] to SAFEARRAY",
            "<= 1.5",
            timed(
                10,
                n -> {
                  for (int i = 0; i < n; i++) {
                    sink = bench.invoke(TestServer.DISPID_BENCH_DISCARD, METHOD, (Object) doubles);
                  }
                }),
            copy8,
            null,
            null));
    rows.add(
        new Row(
            "SAFEARRAY double[1_000_000] to Java",
            "<= 3",
            timed(
                10,
                n -> {
                  for (int i = 0; i < n; i++) {
                    sink = bench.invoke(TestServer.DISPID_BENCH_VECTOR, METHOD);
                  }
                }),
            copy8,
            "direct Invoke (server's copy)",
            timed(10, n -> check(Floors.directInvoke(ptr, TestServer.DISPID_BENCH_VECTOR, n)))));
    rows.add(
        new Row(
            "SAFEARRAY double[1000][1000] to Java",
            "<= 8",
            timed(
                10,
                n -> {
                  for (int i = 0; i < n; i++) {
                    sink = bench.invoke(TestServer.DISPID_BENCH_MATRIX, METHOD);
                  }
                }),
            copy8,
            "direct Invoke (server's copy)",
            timed(10, n -> check(Floors.directInvoke(ptr, TestServer.DISPID_BENCH_MATRIX, n)))));
    // FireMany(n) fires n events without arguments from inside one Invoke; the connected
    // handler returns null. The call's own cost is spread over the n events.
    Floors.Callee callee = new Floors.Callee();
    rows.add(
        new Row(
            "one event from Invoke to the Java handler",
            "<= 3",
            timed(
                EVENTS_PER_CALL,
                n -> {
                  Object fired = source.invoke("FireMany", n);
                  require(Integer.valueOf(0).equals(fired), "FireMany fires every event");
                }),
            timed(EVENTS_PER_CALL, n -> check(Floors.upcalls(callee, n))),
            null,
            null));
    return rows;
  }

  /** What a batch of n operations does. */
  interface Operations {
    void run(int n);
  }

  private static Batch timed(int n, Operations operations) {
    return () -> {
      long start = System.nanoTime();
      operations.run(n);
      return (System.nanoTime() - start) / (double) n;
    };
  }

  private static void check(int failures) {
    if (failures != 0) {
      throw new IllegalStateException(failures + " direct calls failed");
    }
  }

  private static void checkCopy(boolean copied) {
    if (!copied) {
      throw new IllegalStateException("the copy floor has no buffers");
    }
  }

  /** The members answer what the rows assume, once, before anything is timed. */
  private void checkResults() {
    require(bench.invoke("Nop") == null, "Nop returns nothing");
    require(TEXT.equals(bench.invoke("Choose", 7, TEXT, 2.5)), "Choose returns its string");
    require(bench.invoke("Discard", (Object) doubles) == null, "Discard returns nothing");
    double[] vector = (double[]) bench.invoke("Vector");
    require(vector.length == TestServer.BENCH_VECTOR_LENGTH, "Vector's length");
    require(vector[0] == 1 && vector[vector.length - 1] == vector.length, "Vector's values");
    double[][] matrix = (double[][]) bench.invoke("Matrix");
    int side = TestServer.BENCH_MATRIX_SIDE;
    require(matrix.length == side && matrix[side - 1].length == side, "Matrix's shape");
    require(matrix[1][0] == 2 && matrix[0][1] == side + 1, "Matrix's values");
  }

  private static void require(boolean condition, String what) {
    if (!condition) {
      throw new IllegalStateException("unexpected result: " + what);
    }
  }

  private static void report(List<Row> rows) {
    System.out.printf(
        Locale.ROOT,
        "%-44s %23s %23s %17s %8s%n",
        "figure",
        "ns/op min / median",
        "floor ns/op min / med",
        "ratio min / med",
        "target");
    for (Row row : rows) {
      double[] f = row.rounds.figure();
      double[] fl = row.rounds.floor();
      double[] r = row.rounds.ratio();
      System.out.printf(
          Locale.ROOT,
          "%-44s %11s / %9s %11s / %9s %8.2f / %6.2f %8s%n",
          row.name,
          ns(f[0]),
          ns(f[1]),
          ns(fl[0]),
          ns(fl[1]),
          r[0],
          r[1],
          row.target);
      if (row.extra != null) {
        double[] x = row.rounds.extra();
        System.out.printf(
            Locale.ROOT,
            "  of which %-34s %11s / %9s%n",
            row.extraName,
            ns(x[0]),
            ns(x[1]));
      }
    }
    System.out.println();
  }

  private static String ns(double value) {
    return String.format(Locale.ROOT, value >= 100_000 ? "%.0f" : "%.1f", value);
  }

  /** RSS, JNI global references and live counts before, early in and after the long loop. */
  private void longLoop(long calls) throws IOException {
    System.out.printf(Locale.ROOT, "%,d calls of Choose(int, String, double) in a loop%n", calls);
    System.out.printf(
        Locale.ROOT,
        "%-22s %12s %12s %8s %12s %8s%n",
        "when",
        "RSS kB",
        "JNI globals",
        "BSTRs",
        "SAFEARRAYs",
        "objects");
    snapshot("start");
    long early = calls / 10;
    long start = System.nanoTime();
    for (long i = 0; i < calls; i++) {
      sink = bench.invoke(TestServer.DISPID_BENCH_CHOOSE, METHOD, 7, TEXT, 2.5);
      if (i + 1 == early) {
        snapshot(String.format(Locale.ROOT, "after %,d", early));
      }
    }
    double perCall = (System.nanoTime() - start) / (double) calls;
    snapshot("end");
    System.out.printf(Locale.ROOT, "%.0f ns per call over the loop%n", perCall);
  }

  private static void snapshot(String when) throws IOException {
    System.gc();
    System.out.printf(
        Locale.ROOT,
        "%-22s %12d %12d %8d %12d %8d%n",
        when,
        residentKilobytes(),
        Floors.globalReferences(),
        TestServer.liveBstrs(),
        TestServer.liveSafeArrays(),
        TestServer.liveObjects());
  }

  /** VmRSS from /proc/self/status, in kB. */
  private static long residentKilobytes() throws IOException {
    for (String line : Files.readAllLines(Paths.get("/proc/self/status"), StandardCharsets.UTF_8)) {
      if (line.startsWith("VmRSS:")) {
        return Long.parseLong(line.replaceAll("[^0-9]", ""));
      }
    }
    return -1;
  }
}
