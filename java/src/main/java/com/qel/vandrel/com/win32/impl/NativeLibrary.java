package com.qel.vandrel.com.win32.impl;

/**
 * Loads the Ostrel32 JNI library exactly once for every class of the package that declares
 * native methods.
 *
 * <p>The library is found in one of three ways, checked in this order:
 *
 * <ul>
 *   <li>system property {@value #PRELOADED_PROPERTY} set to {@code true}: the embedding process
 *       has already loaded the library and registered its natives itself, nothing is loaded;
 *   <li>system property {@value #PATH_PROPERTY} holding a full file name: {@link
 *       System#load(String)} of that file;
 *   <li>otherwise {@link System#loadLibrary(String)} of {@value #LIBRARY_NAME} ({@code
 *       libOstrel32.so} / {@code Ostrel32.dll}) through {@code java.library.path}.
 * </ul>
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
  /** System property naming the library file to load instead of searching the library path. */
  public static final String PATH_PROPERTY = "ostrel32.library";
  /** System property telling that the embedding process has loaded the library already. */
  public static final String PRELOADED_PROPERTY = "ostrel32.library.preloaded";

  private static final Object LOCK = new Object();
  private static boolean loaded;

  private NativeLibrary() {}

  /**
   * Makes sure the library is loaded; later calls return at once.
   *
   * @throws UnsatisfiedLinkError when the library cannot be loaded; the next call tries again
   */
  public static void load() {
    synchronized (LOCK) {
      if (loaded) {
        return;
      }
      if (!Boolean.getBoolean(PRELOADED_PROPERTY)) {
        String path = System.getProperty(PATH_PROPERTY);
        if (path != null && !path.isEmpty()) {
          System.load(path);
        } else {
          System.loadLibrary(LIBRARY_NAME);
        }
      }
      loaded = true;
    }
  }
}
