import com.qel.vandrel.com.win32.ComService;
import com.qel.vandrel.com.win32.IDispatch;
import com.qel.vandrel.com.win32.IUnknown;
import com.qel.vandrel.com.win32.RefInt;
import com.qel.vandrel.com.win32.impl.NativeLibrary;
import com.qel.vandrel.testserver.TestServer;

/** Run with only ostrel32.jar and testserver.jar on the class path: loads the bridge, makes a call. */
public class JarOnlyProgram {
  public static void main(String[] args) {
    try (ComService.Apartment apartment = ComService.enterApartment()) {
      TestServer.register();
      // The README's example.
      try (IDispatch sample = ComService.createDispatch("{5E1A0000-0000-4A11-9000-000000000006}");
          IUnknown counter = ComService.coCreateInstance("Ostrel.SampleCounter");
          RefInt cell = new RefInt()) {
        System.out.println("Echo=" + sample.invoke("Echo", "from the jar"));
        sample.put("Value", 42);
        System.out.println("Value=" + sample.get("Value"));
        sample.invoke("SetRef", cell, 7);
        System.out.println("cell=" + cell.get() + " counter=" + (counter != null));
      }
      System.out.println("loadedFrom=" + NativeLibrary.loadedFrom());
      System.out.println("live=" + TestServer.liveObjects());
      TestServer.revoke();
    }
  }
}
