package com.qel.vandrel.testserver;

/**
 * Test support: the sample COM server (native library OstrelTestServer), its
 * class IDs, the Automation member DISPIDs and the portable runtime's test
 * accounting.
 *
 * <p>Live objects are the sample objects handed out to callers; the class
 * objects and the running-object-table entry owned by the registration do not
 * count, so {@link #liveObjects()} is 0 whenever nobody holds a sample object.
 */
public final class TestServer {
  static {
    System.loadLibrary("OstrelTestServer");
  }

  /** Creatable in-process; IUnknown and IDispatch (RefCount = 1, Kind = 2). */
  public static final String CLSID_COUNTER = "{5E1A0000-0000-4A11-9000-000000000001}";
  /** Registered for CLSCTX_LOCAL_SERVER only. */
  public static final String CLSID_LOCAL_ONLY = "{5E1A0000-0000-4A11-9000-000000000002}";
  /** In the running object table while registered; no class object. */
  public static final String CLSID_RUNNING = "{5E1A0000-0000-4A11-9000-000000000003}";
  /** Reached through CoGetObject "new:{...}" and "clsid:...:". */
  public static final String CLSID_MONIKER = "{5E1A0000-0000-4A11-9000-000000000004}";
  /** Every Release raises an access violation (after updating the count). */
  public static final String CLSID_FAULTY_RELEASE = "{5E1A0000-0000-4A11-9000-000000000005}";
  /** The Automation object; members below. */
  public static final String CLSID_AUTOMATION = "{5E1A0000-0000-4A11-9000-000000000006}";

  // Automation DISPIDs (documented in testserver/sample_server.h).
  public static final int DISPID_VALUE = 0;
  public static final int DISPID_ECHO = 1;
  public static final int DISPID_RETURN_TYPE = 2;
  public static final int DISPID_RETURN_STRING = 3;
  public static final int DISPID_MAKE_ARRAY = 4;
  public static final int DISPID_MAKE_SAFEARRAY_VARIANT = 5;
  public static final int DISPID_MAKE_DISPATCH_ARRAY = 6;
  public static final int DISPID_MAKE_JAGGED_ARRAY = 7;
  public static final int DISPID_SET_REF = 8;
  public static final int DISPID_FAIL = 9;
  public static final int DISPID_FAIL_DEFERRED = 10;
  public static final int DISPID_S_FALSE = 11;
  public static final int DISPID_CRASH = 12;
  public static final int DISPID_LAST_CALL = 13;
  public static final int DISPID_REF_COUNT = 14;
  public static final int DISPID_ITEM = 15;
  public static final int DISPID_RETURN_NULL_POINTER = 16;
  public static final int DISPID_NEW_ENUM = -4;
  public static final int DISPID_LAST = 40;

  /** Fail's EXCEPINFO source. */
  public static final String EXCEPTION_SOURCE = "OstrelTestServer.Automation";

  private TestServer() {}

  /**
   * Registers the class objects on the calling thread and puts Running in the
   * running object table. The thread needs a COM apartment. Registering again
   * while registered does nothing.
   *
   * @throws IllegalStateException when registration fails (message carries the HRESULT)
   */
  public static native void register();

  /** Revokes everything {@link #register()} registered. */
  public static native void revoke();

  /** Sample objects currently alive. */
  public static native long liveObjects();

  /** Objects the Counter class object has created so far. */
  public static native long counterCreated();

  /** Live BSTRs in the portable runtime; -1 on Windows. */
  public static native int liveBstrs();

  /** Live SAFEARRAYs in the portable runtime; -1 on Windows. */
  public static native int liveSafeArrays();

  /** Reference count of the interface pointer {@code ptr} (AddRef then Release). */
  public static native int refCount(long ptr);

  /** The answer MessageBoxW gives in the portable runtime (0: default button); no-op on Windows. */
  public static native void setMessageBoxAnswer(int answer);

  /** Arms (default) or disarms the access violation in FaultyRelease's Release. */
  public static native void setFaultyReleaseArmed(boolean armed);
}
