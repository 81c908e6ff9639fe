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
    load();
  }

  /**
   * Loads OstrelTestServer from java.library.path, or else the copy this jar carries: the bridge
   * is loaded first, since the server shares its portable runtime.
   */
  private static void load() {
    try {
      System.loadLibrary("OstrelTestServer");
      return;
    } catch (UnsatisfiedLinkError notOnPath) {
      String file = System.mapLibraryName("OstrelTestServer");
      try (java.io.InputStream in = TestServer.class.getResourceAsStream("native/" + file)) {
        if (in == null) {
          throw notOnPath;
        }
        Class.forName("com.qel.vandrel.com.win32.impl.NativeLibrary").getMethod("load").invoke(null);
        java.nio.file.Path folder = java.nio.file.Files.createTempDirectory("ostrel-testserver");
        java.nio.file.Path copy = folder.resolve(file);
        java.nio.file.Files.copy(in, copy);
        System.load(copy.toString());
        copy.toFile().deleteOnExit();
        folder.toFile().deleteOnExit();
      } catch (ReflectiveOperationException | java.io.IOException e) {
        UnsatisfiedLinkError error = new UnsatisfiedLinkError("cannot load OstrelTestServer: " + e);
        error.initCause(e);
        throw error;
      }
    }
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
  /**
   * The Bench object: trivial methods for the benchmark suite, whose Invoke neither formats,
   * records nor locks. Positional arguments only, exact counts.
   */
  public static final String CLSID_BENCH = "{5E1A0000-0000-4A11-9000-000000000007}";
  /**
   * Every method but Release raises an access violation (AddRef, QueryInterface, GetIDsOfNames,
   * Invoke ...); created without a call to any of them.
   */
  public static final String CLSID_FAULTY_CALLS = "{5E1A0000-0000-4A11-9000-000000000008}";

  /** ObjectEnumerator: an {@code IEnumUnknown} over three Counter objects of its own. */
  public static final String CLSID_OBJECT_ENUMERATOR = "{5E1A0000-0000-4A11-9000-000000000020}";
  /** Container: an {@code IOleContainer} whose {@code EnumObjects} gives an ObjectEnumerator. */
  public static final String CLSID_CONTAINER = "{5E1A0000-0000-4A11-9000-000000000021}";
  /** EmptyContainer: an {@code IOleContainer} whose {@code EnumObjects} answers S_FALSE. */
  public static final String CLSID_EMPTY_CONTAINER = "{5E1A0000-0000-4A11-9000-000000000022}";
  /** HostileEnumerator: reports one element more than {@code Next} asked for. */
  public static final String CLSID_HOSTILE_ENUMERATOR = "{5E1A0000-0000-4A11-9000-000000000023}";
  /** Elements of an ObjectEnumerator. */
  public static final int ENUMERATOR_ELEMENTS = 3;
  /**
   * Collection: an automation collection (Count, Item, _NewEnum) whose {@code _NewEnum} gives an
   * {@code IEnumVARIANT} over 42, "two", 2.5, true, a Counter and an empty value. Its property
   * EnumKind (an int) switches what {@code _NewEnum} gives: 1 an enumerator that reports one
   * element more than asked for, 2 one that holds a VT_CY value third, 3 one whose second element
   * is an array holding a FaultyRelease object (see testserver/sample_server.h).
   */
  public static final String CLSID_COLLECTION = "{5E1A0000-0000-4A11-9000-000000000024}";
  /** ProgID of Collection. */
  public static final String PROGID_COLLECTION = "Ostrel.SampleCollection";
  /** Elements of a Collection. */
  public static final int COLLECTION_ELEMENTS = 6;

  // ProgIDs, registered for the current user while the server is registered: each class has a
  // versioned ProgID and a version-independent one whose CurVer names it.
  /** ProgID of Counter. */
  public static final String PROGID_COUNTER = "Ostrel.SampleCounter.1";
  /** Version-independent ProgID of Counter. */
  public static final String PROGID_COUNTER_INDEPENDENT = "Ostrel.SampleCounter";
  /** ProgID of LocalOnly. */
  public static final String PROGID_LOCAL_ONLY = "Ostrel.SampleLocalOnly.1";
  /** Version-independent ProgID of LocalOnly. */
  public static final String PROGID_LOCAL_ONLY_INDEPENDENT = "Ostrel.SampleLocalOnly";
  /** ProgID of Running. */
  public static final String PROGID_RUNNING = "Ostrel.SampleRunning.1";
  /** Version-independent ProgID of Running. */
  public static final String PROGID_RUNNING_INDEPENDENT = "Ostrel.SampleRunning";
  /** ProgID of Moniker. */
  public static final String PROGID_MONIKER = "Ostrel.SampleMoniker.1";
  /** Version-independent ProgID of Moniker. */
  public static final String PROGID_MONIKER_INDEPENDENT = "Ostrel.SampleMoniker";
  /** ProgID of FaultyRelease. */
  public static final String PROGID_FAULTY_RELEASE = "Ostrel.SampleFaultyRelease.1";
  /** Version-independent ProgID of FaultyRelease. */
  public static final String PROGID_FAULTY_RELEASE_INDEPENDENT = "Ostrel.SampleFaultyRelease";
  /** ProgID of Automation. */
  public static final String PROGID_AUTOMATION = "Ostrel.SampleAutomation.1";
  /** Version-independent ProgID of Automation. */
  public static final String PROGID_AUTOMATION_INDEPENDENT = "Ostrel.SampleAutomation";

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
  /**
   * MakeNestedArray(depth): one-element VARIANT arrays nested depth levels deep, the innermost
   * holding the Integer depth; built in time linear in depth.
   */
  public static final int DISPID_MAKE_NESTED_ARRAY = 17;
  public static final int DISPID_NEW_ENUM = -4;
  public static final int DISPID_LAST = 40;

  // Bench DISPIDs (documented in testserver/sample_server.h, namespace sample_bench).
  /** Nop(): returns nothing. */
  public static final int DISPID_BENCH_NOP = 1;
  /** Choose(int i, String s, double d): returns s; the argument types must be exactly these. */
  public static final int DISPID_BENCH_CHOOSE = 2;
  /** Discard(value): takes any one argument, returns nothing. */
  public static final int DISPID_BENCH_DISCARD = 3;
  /** Vector(): a new double[BENCH_VECTOR_LENGTH] SAFEARRAY, element k = k + 1. */
  public static final int DISPID_BENCH_VECTOR = 4;
  /**
   * Matrix(): a new BENCH_MATRIX_SIDE x BENCH_MATRIX_SIDE SAFEARRAY of doubles; the element at
   * flat position k (first index fastest) holds k + 1.
   */
  public static final int DISPID_BENCH_MATRIX = 5;
  /** Elements of Vector's array. */
  public static final int BENCH_VECTOR_LENGTH = 1000000;
  /** Elements of each dimension of Matrix's array. */
  public static final int BENCH_MATRIX_SIDE = 1000;

  /**
   * The EventSource: fires events through a connection point for {@link #EVENTS_IID} (members
   * below, documented in testserver/sample_server.h, namespace sample_events).
   */
  public static final String CLSID_EVENT_SOURCE = "{5E1A0000-0000-4A11-9000-000000000010}";
  /** ProgID of EventSource. */
  public static final String PROGID_EVENT_SOURCE = "Ostrel.SampleEventSource.1";
  /** The IID of EventSource's outgoing dispinterface. */
  public static final String EVENTS_IID = "{5E1A0000-0000-4A11-9000-000000000011}";
  /** FireNoArgs(): event 1, no arguments; returns the sink's HRESULT. */
  public static final int DISPID_FIRE_NO_ARGS = 1;
  /** FireTyped(): event 2 with 42, "text", 2.5, true, a date, the source, int[] {1, 2, 3}. */
  public static final int DISPID_FIRE_TYPED = 2;
  /** FireNamed(): event 3 with 1 and the named argument "named". */
  public static final int DISPID_FIRE_NAMED = 3;
  /** FireFlags(flags): event 4 with those Invoke flags. */
  public static final int DISPID_FIRE_FLAGS = 4;
  /** FireForResult(value): event 5 with value; returns the sink's result. */
  public static final int DISPID_FIRE_FOR_RESULT = 5;
  /** AskNames(name [, name2]): "hhhhhhhh:id[,id]" from the sink's GetIDsOfNames. */
  public static final int DISPID_ASK_NAMES = 6;
  /** FireFromNativeThread(): "invoke=hhhhhhhh names=hhhhhhhh id=n" from a native thread. */
  public static final int DISPID_FIRE_FROM_NATIVE_THREAD = 7;
  /** FailAdvise(hr): the next Advise fails with hr. */
  public static final int DISPID_FAIL_ADVISE = 8;
  /** SinkReferences (get): the sink references the source holds. */
  public static final int DISPID_SINK_REFERENCES = 9;
  /** FireMany(n): event 1 n times. */
  public static final int DISPID_FIRE_MANY = 10;
  /** LastHResult (get): the HRESULT of the last event. */
  public static final int DISPID_LAST_HRESULT = 11;

  /** Fail's EXCEPINFO source. */
  public static final String EXCEPTION_SOURCE = "OstrelTestServer.Automation";

  private TestServer() {}

  /**
   * Registers the class objects on the calling thread, puts Running in the
   * running object table and writes the ProgIDs. The thread needs a COM
   * apartment. Registering again while registered does nothing.
   *
   * @throws IllegalStateException when registration fails (message carries the HRESULT)
   */
  public static native void register();

  /** Revokes everything {@link #register()} registered, the ProgIDs included. */
  public static native void revoke();

  /** Sample objects currently alive. */
  public static native long liveObjects();

  /** Objects the Counter class object has created so far. */
  public static native long counterCreated();

  /** Live BSTRs in the portable runtime; -1 on Windows. */
  public static native int liveBstrs();

  /** Live SAFEARRAYs in the portable runtime; -1 on Windows. */
  public static native int liveSafeArrays();

  /**
   * SAFEARRAYs the portable runtime has allocated since the process started (created or copied);
   * -1 on Windows.
   */
  public static native int createdSafeArrays();

  /** Reference count of the interface pointer {@code ptr} (AddRef then Release). */
  public static native int refCount(long ptr);

  /**
   * A new Automation object made directly, without its class object and without a COM apartment,
   * the way a host application hands over an object it made itself: the {@code IDispatch} pointer
   * with one reference, which the caller owns. 0 when it cannot be made.
   */
  public static native long newAutomationObject();

  /** Calls {@code Release} once on the interface pointer {@code ptr}; returns the new count. */
  public static native int releaseObject(long ptr);

  /** Calls {@code AddRef} once on the interface pointer {@code ptr}; returns what it returns. */
  public static native int addRefObject(long ptr);

  /** The answer MessageBoxW gives in the portable runtime (0: default button); no-op on Windows. */
  public static native void setMessageBoxAnswer(int answer);

  /** Arms (default) or disarms the access violation in FaultyRelease's Release. */
  public static native void setFaultyReleaseArmed(boolean armed);

  /** The flags of the last {@code EnumObjects} call of any container (0 before any). */
  public static native int lastEnumObjectsFlags();

  /** The {@code fLock} of the last {@code LockContainer} call (-1 before any). */
  public static native int lastLockContainerArgument();

  /** Locks minus unlocks of {@code LockContainer}, all containers. */
  public static native int containerLocks();

  /** Live task-memory blocks of the portable runtime; -1 on Windows, which does not count. */
  public static native int liveTaskMemory();

  /** The Collection class's {@code IEnumVARIANT} enumerators alive now. */
  public static native long liveVariantEnumerators();

  /** Adds a URL to the platform's URL history (as visited, top level). */
  public static native void addVisitedUrl(String url);

  /** Removes a URL from the platform's URL history. */
  public static native void deleteVisitedUrl(String url);
}
