package com.qel.vandrel.com.win32.impl;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.File;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.stream.Collectors;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** The loader's choices, and the bundled library loaded by JVMs that have only the jars. */
class LoaderTest {
  @TempDir Path scratch;

  @Test
  void platformAndResourceNames() {
    String root = NativeLibrary.RESOURCE_ROOT;
    String[][] cases = {
      // os.name, os.arch, data model, platform, resources in load order
      {"Windows 10", "x86", "32", "windows-x86", root + "windows-x86/Ostrel32.dll"},
      {"Windows 11", "amd64", "64", "windows-x86_64", root + "windows-x86_64/Ostrel32.dll"},
      {"Windows Server 2019", "amd64", "32", "windows-x86", root + "windows-x86/Ostrel32.dll"},
      {"Linux", "amd64", "64", "linux-x86_64",
        root + "linux-x86_64/libOleport.so," + root + "linux-x86_64/libOstrel32.so"},
      {"Linux", "aarch64", "64", "linux-aarch64", ""},
      {"Mac OS X", "arm64", "64", "macos-aarch64", ""},
    };
    for (String[] c : cases) {
      String platform = NativeLibrary.platform(c[0], c[1], c[2]);
      assertEquals(c[3], platform, Arrays.toString(c));
      assertEquals(c[4], String.join(",", NativeLibrary.resourceNames(platform)), c[3]);
    }
  }

  @Test
  void unsupportedPlatformNamesItAndTheSettings() {
    String message = NativeLibrary.unsupportedMessage("linux-aarch64");
    for (String part :
        new String[] {"linux-aarch64", NativeLibrary.PATH_PROPERTY, NativeLibrary.PATH_ENVIRONMENT,
          "java.library.path", "linux-x86_64"}) {
      assertTrue(message.contains(part), message + " lacks " + part);
    }
  }

  @Test
  void versionMismatchIsRefusedBothWays() {
    NativeLibrary.load();
    assertEquals(NativeLibrary.VERSION, NativeLibrary.handshake(NativeLibrary.VERSION));
    UnsatisfiedLinkError byLibrary =
        assertThrows(UnsatisfiedLinkError.class, () -> NativeLibrary.handshake("0.0.0-other"));
    assertTrue(byLibrary.getMessage().contains(NativeLibrary.VERSION), byLibrary.getMessage());
    UnsatisfiedLinkError byJar =
        assertThrows(
            UnsatisfiedLinkError.class, () -> NativeLibrary.checkVersion("/x/lib.so", "9.9.9"));
    assertTrue(byJar.getMessage().contains("9.9.9"), byJar.getMessage());
    assertTrue(byJar.getMessage().contains(NativeLibrary.VERSION), byJar.getMessage());
  }

  @Test
  void overridePropertyIsLoadedInsteadOfTheBundle() throws Exception {
    Path missing = scratch.resolve("no-such-library.so");
    Result child = run("-D" + NativeLibrary.PATH_PROPERTY + "=" + missing);
    assertTrue(child.exit != 0, child.output);
    assertTrue(child.output.contains(missing.toString()), child.output);
  }

  @Test
  void jvmsWithOnlyTheJarsExtractOnceAndCall() throws Exception {
    Path cache = scratch.resolve("cache");
    List<Process> children = new ArrayList<>();
    for (int i = 0; i < 2; i++) {
      children.add(start("-D" + NativeLibrary.CACHE_PROPERTY + "=" + cache));
    }
    for (Process child : children) {
      Result result = finish(child);
      assertEquals(0, result.exit, result.output);
      assertTrue(result.output.contains("Echo=from the jar"), result.output);
      assertTrue(result.output.contains("Value=42"), result.output);
      assertTrue(result.output.contains("cell=7 counter=true"), result.output);
      assertTrue(result.output.contains("live=0"), result.output);
      assertTrue(result.output.contains("loadedFrom=" + cache), result.output);
    }
    try (Stream<Path> files = Files.walk(cache)) {
      List<String> names =
          files.filter(Files::isRegularFile)
              .map(p -> p.getFileName().toString())
              .sorted()
              .collect(Collectors.toList());
      assertEquals(Arrays.asList("libOleport.so", "libOstrel32.so"), names);
    }
  }

  private static final class Result {
    final int exit;
    final String output;

    Result(int exit, String output) {
      this.exit = exit;
      this.output = output;
    }
  }

  private Result run(String... options) throws Exception {
    return finish(start(options));
  }

  private Process start(String... options) throws Exception {
    List<String> command = new ArrayList<>();
    command.add(System.getProperty("java.home") + File.separator + "bin" + File.separator + "java");
    command.addAll(Arrays.asList(options));
    command.add("-cp");
    command.add(
        System.getProperty("ostrel.test.jar")
            + File.pathSeparator
            + System.getProperty("ostrel.test.serverjar"));
    command.add(System.getProperty("ostrel.test.program"));
    ProcessBuilder builder = new ProcessBuilder(command).redirectErrorStream(true);
    builder.environment().remove(NativeLibrary.PATH_ENVIRONMENT);
    builder.environment().remove("LD_LIBRARY_PATH");
    return builder.start();
  }

  private static Result finish(Process process) throws Exception {
    byte[] out = process.getInputStream().readAllBytes();
    return new Result(process.waitFor(), new String(out, StandardCharsets.UTF_8));
  }
}
