package com.qel.vandrel.hostile;

import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStream;
import java.io.InputStreamReader;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.concurrent.TimeUnit;
import java.util.regex.Pattern;
import java.util.stream.Stream;

/**
 * Runs one hostile case in a child JVM and compares its classified outcome with the expected one;
 * a mismatch prints both and the child's output, and exits with 1.
 *
 * <pre>
 *   HostileSuite --list FILE   writes the case names, one a line
 *   HostileSuite CASE          runs the case
 * </pre>
 *
 * <p>System properties: {@code hostile.java} (the child's java), {@code hostile.classpath} and
 * {@code hostile.libpath} (its class and library paths), {@code hostile.workdir} (a directory for
 * the child's fatal error reports), {@code hostile.timeout} (seconds), {@code hostile.jniWarnings}
 * (the pattern of -Xcheck:jni's warnings) and {@code hostile.env.NAME} (an environment variable of
 * the child).
 */
public final class HostileSuite {
  private static final String ENV_PREFIX = "hostile.env.";
  private static final int MAX_OUTPUT = 200_000;

  private HostileSuite() {}

  public static void main(String[] args) throws Exception {
    if (args.length == 2 && args[0].equals("--list")) {
      List<String> names = new ArrayList<>();
      for (HostileCase c : Cases.all()) {
        names.add(c.name());
      }
      Files.write(Path.of(args[1]), names, StandardCharsets.UTF_8);
      return;
    }
    if (args.length != 1) {
      throw new IllegalArgumentException("usage: HostileSuite --list FILE | HostileSuite CASE");
    }
    HostileCase hostile = Cases.byName(args[0]);
    ChildRun run = run(hostile);
    Outcome outcome = run.outcome();
    if (hostile.expected().matches(outcome)) {
      System.out.println("hostile." + hostile.name() + ": " + outcome);
      return;
    }
    System.out.println("hostile." + hostile.name() + " MISMATCH");
    System.out.println("  expected: " + hostile.expected());
    System.out.println("  got:      " + outcome);
    System.out.println("---- output of the child JVM ----");
    System.out.print(run.output());
    System.out.println("---- end of the child's output ----");
    System.exit(1);
  }

  /** A child's classified outcome, and what it printed (with its reports) for a mismatch. */
  private record ChildRun(Outcome outcome, String output) {}

  private static ChildRun run(HostileCase hostile) throws IOException, InterruptedException {
    Path workdir = Path.of(property("hostile.workdir"));
    deleteRecursively(workdir);
    Files.createDirectories(workdir);
    List<String> command = List.of(property("hostile.java"), "-Xcheck:jni",
        "-XX:ErrorFile=" + workdir.resolve("hs_err_pid%p.log"), "-XX:-CreateCoredumpOnCrash",
        "-Djava.library.path=" + property("hostile.libpath"), "-cp", property("hostile.classpath"),
        ChildMain.class.getName(), hostile.name());
    ProcessBuilder builder = new ProcessBuilder(command).redirectErrorStream(true);
    builder.directory(workdir.toFile());
    Map<String, String> environment = builder.environment();
    for (String key : System.getProperties().stringPropertyNames()) {
      if (key.startsWith(ENV_PREFIX)) {
        environment.put(key.substring(ENV_PREFIX.length()), System.getProperty(key));
      }
    }
    Process child = builder.start();
    OutputCollector collector = new OutputCollector(child.getInputStream());
    collector.start();
    long timeout = hostile.timeoutSeconds() > 0 ? hostile.timeoutSeconds()
                                                : Long.parseLong(property("hostile.timeout"));
    Integer exitCode = null;
    StringBuilder extra = new StringBuilder();
    if (child.waitFor(timeout, TimeUnit.SECONDS)) {
      exitCode = child.exitValue();
    } else {
      extra.append(threadDump(child.pid()));
      child.destroyForcibly();
      child.waitFor();
    }
    collector.join();
    List<String> reports = new ArrayList<>();
    try (Stream<Path> files = Files.list(workdir)) {
      for (Path file :
          files.filter(f -> f.getFileName().toString().startsWith("hs_err")).toList()) {
        reports.add(Files.readString(file, StandardCharsets.ISO_8859_1));
      }
    }
    Path protocolFile = workdir.resolve(Outcome.PROTOCOL_FILE);
    List<String> protocol = Files.exists(protocolFile)
        ? Files.readAllLines(protocolFile, StandardCharsets.UTF_8)
        : List.of();
    String output = collector.text();
    Outcome outcome = Outcome.classify(
        output, protocol, exitCode, reports, Pattern.compile(property("hostile.jniWarnings")));
    return new ChildRun(outcome, output + extra + String.join("\n", headsOf(reports)));
  }

  /**
   * The crashing thread's part of each fatal error report, its native and Java frames (the report's
   * header repeats what the JVM printed).
   */
  private static List<String> headsOf(List<String> reports) {
    List<String> heads = new ArrayList<>();
    for (String report : reports) {
      int thread = report.indexOf("Current thread");
      List<String> lines = report.substring(Math.max(thread, 0)).lines().limit(45).toList();
      heads.add(
          "---- the fatal error report's crashing thread ----\n" + String.join("\n", lines) + "\n");
    }
    return heads;
  }

  /** The child's threads, for a case that hung; empty when jcmd cannot get them. */
  private static String threadDump(long pid) {
    Path jcmd = Path.of(property("hostile.java")).resolveSibling("jcmd");
    try {
      Process dump = new ProcessBuilder(jcmd.toString(), Long.toString(pid), "Thread.print")
                         .redirectErrorStream(true)
                         .start();
      OutputCollector text = new OutputCollector(dump.getInputStream());
      text.start();
      if (!dump.waitFor(20, TimeUnit.SECONDS)) {
        dump.destroyForcibly();
      }
      text.join();
      return "---- threads of the hung child ----\n" + text.text();
    } catch (IOException | InterruptedException e) {
      return "---- no thread dump: " + e + "\n";
    }
  }

  private static String property(String name) {
    String value = System.getProperty(name);
    if (value == null) {
      throw new IllegalStateException("system property " + name + " is not set");
    }
    return value;
  }

  private static void deleteRecursively(Path path) throws IOException {
    if (!Files.exists(path)) {
      return;
    }
    try (Stream<Path> walk = Files.walk(path)) {
      for (Path p : walk.sorted((a, b) -> b.getNameCount() - a.getNameCount()).toList()) {
        Files.delete(p);
      }
    }
  }

  /**
   * Reads a child's output as it comes, so that a chatty child never blocks on a full pipe. Keeps
   * the first {@link #MAX_OUTPUT} characters, and every protocol line of the child however much it
   * printed before.
   */
  private static final class OutputCollector extends Thread {
    private final BufferedReader in;
    private final StringBuilder head = new StringBuilder();
    private final StringBuilder protocolAfterCut = new StringBuilder();
    private boolean cut;

    OutputCollector(InputStream in) {
      this.in = new BufferedReader(new InputStreamReader(in, StandardCharsets.UTF_8));
      setDaemon(true);
    }

    @Override
    public void run() {
      try {
        for (String line; (line = in.readLine()) != null;) {
          append(line);
        }
      } catch (IOException e) {
        append("(reading the output failed: " + e + ")");
      }
    }

    private synchronized void append(String line) {
      if (head.length() + line.length() < MAX_OUTPUT) {
        head.append(line).append('\n');
      } else {
        cut = true;
        if (line.startsWith("hostile-")) {
          protocolAfterCut.append(line).append('\n');
        }
      }
    }

    synchronized String text() {
      return cut ? head + "(output cut)\n" + protocolAfterCut : head.toString();
    }
  }
}
