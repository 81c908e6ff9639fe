import com.qel.vandrel.com.win32.ComService;
import com.qel.vandrel.com.win32.IDispatch;
import com.qel.vandrel.com.win32.impl.NativeLibrary;
import com.qel.vandrel.testserver.TestServer;

/** Run with only ostrel32.jar and testserver.jar on the class path: loads the bridge, makes a call. */
public class JarOnlyProgram {
  public static void main(String[] args) {
    try (ComService.Apartment apartment = ComService.enterApartment()) {
      TestServer.register();
      try (IDispatch automation = ComService.createDispatch(TestServer.CLSID_AUTOMATION)) {
        System.out.println("Echo=" + automation.invoke("Echo", "from the jar"));
      }
      System.out.println("loadedFrom=" + NativeLibrary.loadedFrom());
      System.out.println("live=" + TestServer.liveObjects());
      TestServer.revoke();
    }
  }
}
