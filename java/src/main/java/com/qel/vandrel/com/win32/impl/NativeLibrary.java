package com.qel.vandrel.com.win32.impl;

import java.io.ByteArrayOutputStream;
import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.nio.file.AtomicMoveNotSupportedException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardCopyOption;
import java.security.MessageDigest;
import java.security.NoSuchAlgorithmException;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.List;
import java.util.Locale;

/**
 * Loads the Ostrel32 JNI library exactly once for every class of the package that declares
 * native methods.
 *
 * <p>The library is found in one of these ways, checked in this order:
 *
 * <ul>
 *   <li>system property {@value #PRELOADED_PROPERTY} set to {@code true}: the embedding process
 *       has already loaded the library and registered its natives itself, nothing is loaded;
 *   <li>system property {@value #PATH_PROPERTY} holding a full file name: {@link
 *       System#load(String)} of that file;
 *   <li>environment variable {@value #PATH_ENVIRONMENT} holding a full file name: the same;
 *   <li>a file {@code libOstrel32.so} / {@code Ostrel32.dll} in a folder of {@code
 *       java.library.path}: {@link System#loadLibrary(String)} of {@value #LIBRARY_NAME};
 *   <li>otherwise the library this jar carries for the running JVM, under {@value
 *       #RESOURCE_ROOT}{@code <platform>/}, extracted once into a per-user cache folder named by
 *       version, platform and content hash (system property {@value #CACHE_PROPERTY} chooses
 *       another cache root) and loaded from there. On Linux the portable runtime {@code
 *       libOleport.so} comes with it and is loaded first.
 * </ul>
 *
 * <p>Whatever the way, a loaded library must be of this jar's version ({@link #VERSION}); the
 * library checks the jar's version too. A mismatch is refused with an {@link
 * UnsatisfiedLinkError} that says both versions.
 *
 * <p>Loading a library that the process has already mapped (for instance a test binary that
 * embeds the JVM and links the library) is harmless: the system loader hands back the mapped
 * image and the JVM only records it for this class loader.
 *
 * <p>This class belongs to the implementation; applications do not call it.
 */
public final class NativeLibrary {
  /** Base name of the library, without platform prefix or suffix. */
  public static final String LIBRARY_NAME = "Ostrel32";
  /** System property naming the library file to load instead of searching for one. */
  public static final String PATH_PROPERTY = "ostrel32.library";
  /** Environment variable naming the library file to load, when the property is not set. */
  public static final String PATH_ENVIRONMENT = "OSTREL32_LIBRARY";
  /** System property telling that the embedding process has loaded the library already. */
  public static final String PRELOADED_PROPERTY = "ostrel32.library.preloaded";
  /** System property naming the folder under which the bundled libraries are extracted. */
  public static final String CACHE_PROPERTY = "ostrel32.cache.dir";
  /** Resource folder of the bundled libraries, one subfolder per platform. */
  public static final String RESOURCE_ROOT = "com/qel/vandrel/com/win32/native/";
  /** Resource listing the platforms this jar carries, one a line. */
  public static final String PLATFORMS_RESOURCE = RESOURCE_ROOT + "platforms.txt";
  /** Version of this jar; the native library must report the same. */
  public static final String VERSION = LibraryVersion.VERSION;

  /** Every platform a jar may carry, with its files in the order they are loaded. */
  private static final String[][] BUNDLES = {
    {"linux-x86_64", "libOleport.so", "libOstrel32.so"},
    {"windows-x86", "Ostrel32.dll"},
    {"windows-x86_64", "Ostrel32.dll"},
  };

  private static final Object LOCK = new Object();
  private static boolean loaded;
  private static String loadedFrom;

  private NativeLibrary() {}

  /**
   * Makes sure the library is loaded; later calls return at once.
   *
   * @throws UnsatisfiedLinkError when the library cannot be found or loaded, or is of another
   *     version; the next call tries again
   */
  public static void load() {
    synchronized (LOCK) {
      if (loaded) {
        return;
      }
      if (Boolean.getBoolean(PRELOADED_PROPERTY)) {
        loadedFrom = "the embedding process";
      } else {
        String origin = loadFound();
        String nativeVersion;
        try {
          nativeVersion = handshake(VERSION);
        } catch (UnsatisfiedLinkError e) {
          throw new UnsatisfiedLinkError(
              "Ostrel32: the native library from "
                  + origin
                  + " does not accept this jar (version "
                  + VERSION
                  + "): "
                  + e.getMessage());
        }
        checkVersion(origin, nativeVersion);
        loadedFrom = origin;
      }
      loaded = true;
    }
  }

  /**
   * Where the library was loaded from: a file name, {@code java.library.path} or the embedding
   * process.
   *
   * @return the origin, or null before the library is loaded
   */
  public static String loadedFrom() {
    synchronized (LOCK) {
      return loaded ? loadedFrom : null;
    }
  }

  /**
   * The platform name of a JVM as the resource folders use it: {@code <os>-<arch>}, for instance
   * {@code windows-x86}, {@code windows-x86_64} or {@code linux-x86_64}.
   *
   * @param osName the JVM's {@code os.name}
   * @param osArch the JVM's {@code os.arch}
   * @param dataModel the JVM's {@code sun.arch.data.model} ({@code 32}, {@code 64}), may be null
   * @return the platform name; one this class does not know keeps the JVM's own words
   */
  public static String platform(String osName, String osArch, String dataModel) {
    String name = osName.toLowerCase(Locale.ROOT);
    String os =
        name.startsWith("windows")
            ? "windows"
            : name.startsWith("linux")
                ? "linux"
                : name.startsWith("mac") ? "macos" : name.replaceAll("[^a-z0-9]+", "");
    String arch = osArch.toLowerCase(Locale.ROOT);
    if (arch.matches("i[3-6]86|x86|amd64|x86_64|x86-64")) {
      boolean wide = "64".equals(dataModel) || (dataModel == null && arch.contains("64"));
      arch = wide ? "x86_64" : "x86";
    } else if (arch.equals("arm64")) {
      arch = "aarch64";
    }
    return os + "-" + arch;
  }

  /**
   * The resource names of the files a jar carries for a platform, in load order; the library
   * itself comes last.
   *
   * @param platform a name from {@link #platform(String, String, String)}
   * @return the resource names, empty for a platform no jar carries
   */
  public static List<String> resourceNames(String platform) {
    for (String[] bundle : BUNDLES) {
      if (bundle[0].equals(platform)) {
        List<String> names = new ArrayList<>();
        for (int i = 1; i < bundle.length; i++) {
          names.add(RESOURCE_ROOT + platform + "/" + bundle[i]);
        }
        return Collections.unmodifiableList(names);
      }
    }
    return Collections.emptyList();
  }

  /**
   * The platforms this jar carries a library for, as its {@value #PLATFORMS_RESOURCE} lists them.
   *
   * @return the platform names, empty when the jar carries none
   */
  public static List<String> bundledPlatforms() {
    byte[] listing = readResource(PLATFORMS_RESOURCE);
    if (listing == null) {
      return Collections.emptyList();
    }
    List<String> platforms = new ArrayList<>();
    for (String line : new String(listing, java.nio.charset.StandardCharsets.UTF_8).split("\n")) {
      if (!line.trim().isEmpty()) {
        platforms.add(line.trim());
      }
    }
    return Collections.unmodifiableList(platforms);
  }

  /**
   * The message of the error for a JVM this jar carries no library for.
   *
   * @param platform the JVM's platform name
   * @return the message: the platform, what the jar holds, and how to name a library instead
   */
  public static String unsupportedMessage(String platform) {
    return "Ostrel32: this jar holds no native library for "
        + platform
        + " (os.name="
        + System.getProperty("os.name")
        + ", os.arch="
        + System.getProperty("os.arch")
        + ", sun.arch.data.model="
        + System.getProperty("sun.arch.data.model")
        + "); it holds "
        + bundledPlatforms()
        + ". Set the system property "
        + PATH_PROPERTY
        + " or the environment variable "
        + PATH_ENVIRONMENT
        + " to the full file name of a library built for "
        + platform
        + ", or put "
        + System.mapLibraryName(LIBRARY_NAME)
        + " on java.library.path";
  }

  /**
   * Refuses a native library of another version than this jar's.
   *
   * @param origin where the library was loaded from, for the message
   * @param nativeVersion the version the library reports
   * @throws UnsatisfiedLinkError when the versions differ
   */
  static void checkVersion(String origin, String nativeVersion) {
    if (!VERSION.equals(nativeVersion)) {
      throw new UnsatisfiedLinkError(
          "Ostrel32: the native library from "
              + origin
              + " is version "
              + nativeVersion
              + " but the jar is version "
              + VERSION
              + "; use the library that comes with this jar");
    }
  }

  /**
   * Exchanges versions with the loaded library: the library refuses a jar of another version.
   *
   * @param jarVersion the version the jar reports to the library
   * @return the library's version
   * @throws UnsatisfiedLinkError when the library refuses the jar's version
   */
  static String handshake(String jarVersion) {
    return _handshake(jarVersion);
  }

  /**
   * Extracts the files of a platform's bundle into {@code folder} (once: files already there with
   * the same content are kept).
   *
   * @param platform the platform name
   * @param cacheRoot the cache root; the bundle goes to a subfolder named by version, platform and
   *     content hash
   * @return the extracted files in load order, or null when the jar carries no such bundle
   * @throws IOException when a file cannot be written
   */
  static List<Path> extract(String platform, Path cacheRoot) throws IOException {
    List<String> names = resourceNames(platform);
    if (names.isEmpty()) {
      return null;
    }
    List<byte[]> contents = new ArrayList<>();
    MessageDigest digest = sha256();
    for (String name : names) {
      byte[] bytes = readResource(name);
      if (bytes == null) {
        return null;
      }
      contents.add(bytes);
      digest.update(name.getBytes(java.nio.charset.StandardCharsets.UTF_8));
      digest.update(bytes);
    }
    StringBuilder hash = new StringBuilder();
    for (byte b : Arrays.copyOf(digest.digest(), 8)) {
      hash.append(String.format("%02x", b & 0xff));
    }
    Path folder = cacheRoot.resolve(VERSION + "-" + platform + "-" + hash);
    Files.createDirectories(folder);
    List<Path> files = new ArrayList<>();
    for (int i = 0; i < names.size(); i++) {
      String name = names.get(i);
      files.add(place(folder, name.substring(name.lastIndexOf('/') + 1), contents.get(i)));
    }
    return files;
  }

  private static String loadFound() {
    String path = System.getProperty(PATH_PROPERTY);
    if (path != null && !path.isEmpty()) {
      System.load(path);
      return path;
    }
    path = System.getenv(PATH_ENVIRONMENT);
    if (path != null && !path.isEmpty()) {
      System.load(path);
      return path;
    }
    if (onLibraryPath()) {
      System.loadLibrary(LIBRARY_NAME);
      return "java.library.path";
    }
    String platform =
        platform(
            System.getProperty("os.name", ""),
            System.getProperty("os.arch", ""),
            System.getProperty("sun.arch.data.model"));
    List<Path> files;
    try {
      files = extract(platform, cacheRoot());
    } catch (IOException e) {
      UnsatisfiedLinkError error =
          new UnsatisfiedLinkError(
              "Ostrel32: cannot extract the native library for "
                  + platform
                  + ": "
                  + e
                  + "; set "
                  + CACHE_PROPERTY
                  + " to a writable folder, or "
                  + PATH_PROPERTY
                  + " to the library");
      error.initCause(e);
      throw error;
    }
    if (files == null) {
      throw new UnsatisfiedLinkError(unsupportedMessage(platform));
    }
    for (Path file : files) {
      System.load(file.toAbsolutePath().toString());
    }
    return files.get(files.size() - 1).toString();
  }

  private static boolean onLibraryPath() {
    String searched = System.getProperty("java.library.path", "");
    String file = System.mapLibraryName(LIBRARY_NAME);
    for (String folder : searched.split(File.pathSeparator)) {
      if (!folder.isEmpty() && new File(folder, file).isFile()) {
        return true;
      }
    }
    return false;
  }

  private static Path cacheRoot() {
    String configured = System.getProperty(CACHE_PROPERTY);
    if (configured != null && !configured.isEmpty()) {
      return Paths.get(configured);
    }
    String localAppData = System.getenv("LOCALAPPDATA");
    if (System.getProperty("os.name", "").startsWith("Windows") && localAppData != null) {
      return Paths.get(localAppData, "Ostrel32", "cache");
    }
    String xdg = System.getenv("XDG_CACHE_HOME");
    if (xdg != null && !xdg.isEmpty()) {
      return Paths.get(xdg, "ostrel32");
    }
    return Paths.get(System.getProperty("user.home"), ".cache", "ostrel32");
  }

  /**
   * Puts {@code bytes} at {@code folder/name} unless a file of that content is there: written to
   * a temporary file of the same folder and moved into place in one step, so another JVM sees
   * either no file or the whole one. The temporary file never outlives the call.
   */
  private static Path place(Path folder, String name, byte[] bytes) throws IOException {
    Path target = folder.resolve(name);
    if (holds(target, bytes)) {
      return target;
    }
    Path temporary = Files.createTempFile(folder, name + ".", ".tmp");
    try {
      Files.write(temporary, bytes);
      try {
        Files.move(temporary, target, StandardCopyOption.ATOMIC_MOVE);
      } catch (AtomicMoveNotSupportedException e) {
        throw e;
      } catch (IOException e) {
        // Another JVM placed the same file first and has it open (Windows refuses to replace a
        // loaded DLL): its copy serves as well as ours.
        if (!holds(target, bytes)) {
          throw e;
        }
      }
    } finally {
      Files.deleteIfExists(temporary);
    }
    return target;
  }

  private static boolean holds(Path file, byte[] bytes) throws IOException {
    return Files.isRegularFile(file)
        && Files.size(file) == bytes.length
        && Arrays.equals(Files.readAllBytes(file), bytes);
  }

  private static byte[] readResource(String name) {
    try (InputStream in = NativeLibrary.class.getResourceAsStream("/" + name)) {
      if (in == null) {
        return null;
      }
      ByteArrayOutputStream out = new ByteArrayOutputStream();
      byte[] buffer = new byte[65536];
      for (int n; (n = in.read(buffer)) > 0; ) {
        out.write(buffer, 0, n);
      }
      return out.toByteArray();
    } catch (IOException e) {
      return null;
    }
  }

  private static MessageDigest sha256() {
    try {
      return MessageDigest.getInstance("SHA-256");
    } catch (NoSuchAlgorithmException e) {
      throw new IllegalStateException("every JVM has SHA-256", e);
    }
  }

  private static native String _handshake(String jarVersion);
}
