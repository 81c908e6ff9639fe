package com.qel.vandrel.com.win32;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.ConcurrentLinkedQueue;
import java.util.concurrent.CountDownLatch;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

class DispatchVariant2JavaExceptionTest {
  private static final long HANDLE = 0x1234_5678_9ABC_DEF0L; // a 64-bit address survives whole

  @Test
  void releasesTheVariantOnceAcrossRacingThreads() throws Exception {
    ConcurrentLinkedQueue<Long> released = new ConcurrentLinkedQueue<>();
    DispatchVariant2JavaException e =
        new DispatchVariant2JavaException("unsupported", HANDLE, released::add);
    assertEquals(HANDLE, e.getVariantHandle());

    CountDownLatch start = new CountDownLatch(1);
    List<Thread> threads = new ArrayList<>();
    for (int i = 0; i < 8; ++i) {
      Thread t =
          new Thread(
              () -> {
                try {
                  start.await();
                } catch (InterruptedException ignored) {
                  return;
                }
                for (int k = 0; k < 100; ++k) {
                  e.releaseVariant();
                }
              });
      t.start();
      threads.add(t);
    }
    start.countDown();
    for (Thread t : threads) {
      t.join();
    }

    assertEquals(List.of(HANDLE), new ArrayList<>(released));
    assertEquals(0, e.getVariantHandle(), "a released handle is not handed out any more");
  }

  @ParameterizedTest(name = "{0} -> {1}")
  @CsvSource(
      delimiter = ';',
      value = {
        "0x0; VT_EMPTY (0x0)",
        "0xE; VT_DECIMAL (0xE)",
        "0xF; unknown (0xF)", // no type 15 in Windows
        "0x26; VT_UINT_PTR (0x26)",
        "0x27; unknown (0x27)",
        "0x48; VT_CLSID (0x48)",
        "0xFFF; VT_BSTR_BLOB (0xFFF)",
        "0x2003; VT_ARRAY | VT_I4 (0x2003)",
        "0x400C; VT_BYREF | VT_VARIANT (0x400C)",
        "0x6011; VT_ARRAY | VT_BYREF | VT_UI1 (0x6011)",
        "0x1041; VT_VECTOR | VT_BLOB (0x1041)",
        "0x200F; VT_ARRAY | unknown (0x200F)",
        "0xFFFF; VT_ILLEGAL (0xFFFF)",
        "0x10003; VT_I4 (0x3)", // bits above a VARTYPE's 16 are ignored
      })
  void variantTypesPrintByNameAndValue(String vt, String name) {
    assertEquals(name, VarType.name(Integer.decode(vt)));
  }

  @Test
  void anExceptionWithoutAVariantPrintsNoType() {
    DispatchVariant2JavaException e = new DispatchVariant2JavaException("gone", 0, h -> {});
    assertEquals(-1, e.getVarType());
    assertEquals("gone", e.getLocalizedMessage());
    assertEquals("Echo: gone", e.initMember("Echo").getLocalizedMessage());
  }
}
