package com.qel.vandrel.com.win32;

/** Class contexts: where COM may run a server when it creates an object. Combine with {@code |}. */
public final class ClsCtx {
  /** A DLL server in the caller's process. */
  public static final int INPROC_SERVER = 0x1;
  /** An in-process handler for a local server. */
  public static final int INPROC_HANDLER = 0x2;
  /** An executable server on this machine. */
  public static final int LOCAL_SERVER = 0x4;
  /** A server on another machine. */
  public static final int REMOTE_SERVER = 0x10;
  /** Any server: in-process, local or remote. */
  public static final int SERVER = INPROC_SERVER | LOCAL_SERVER | REMOTE_SERVER;
  /** Any server or handler; the default of {@link ComService#coCreateInstance(String)}. */
  public static final int ALL = SERVER | INPROC_HANDLER;

  private ClsCtx() {}
}
