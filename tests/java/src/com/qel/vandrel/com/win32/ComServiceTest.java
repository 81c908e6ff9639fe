package com.qel.vandrel.com.win32;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.function.Executable;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.MethodSource;

/** The parts of ComService that act before (or instead of) any native call. */
class ComServiceTest {
  /** A wrapper stand-in that only records being closed. */
  private static final class Closable implements IUnknown {
    int closes;

    @Override
    public void close() {
      ++closes;
    }

    @Override
    public boolean isClosed() {
      return closes > 0;
    }

    @Override
    public long getPtr() {
      throw new UnsupportedOperationException();
    }

    @Override
    public IUnknown newIUnknown(long ptr) {
      throw new UnsupportedOperationException();
    }

    @Override
    public int addRef() {
      throw new UnsupportedOperationException();
    }

    @Override
    public int release() {
      throw new UnsupportedOperationException();
    }

    @Override
    public IUnknown queryInterface(Guid iid) {
      throw new UnsupportedOperationException();
    }

    @Override
    public IUnknown queryInterface(long iidHigh, long iidLow) {
      throw new UnsupportedOperationException();
    }

    @Override
    public IDispatch queryDispatch() {
      throw new UnsupportedOperationException();
    }

    @Override
    public void closeLater() {
      throw new UnsupportedOperationException();
    }

    @Override
    public long detach() {
      throw new UnsupportedOperationException();
    }
  }

  @Test
  void releaseWalksNestedArraysAndClosesEveryWrapper() {
    Closable top = new Closable();
    Closable nested = new Closable();
    Closable deep = new Closable();
    Closable typed = new Closable();
    Object[] cyclic = new Object[2];
    cyclic[0] = cyclic;
    cyclic[1] = deep;
    Object[] args = {
      "text", 42, null, top, new Object[] {null, nested, new int[] {1}, cyclic}, new IUnknown[] {typed}
    };

    ComService.internalReleaseIResources(args);

    for (Closable c : new Closable[] {top, nested, deep, typed}) {
      assertEquals(1, c.closes);
    }
  }

  @Test
  void releaseAcceptsASingleWrapperAndNothing() {
    Closable single = new Closable();
    ComService.internalReleaseIResources(single);
    assertEquals(1, single.closes);
    ComService.internalReleaseIResources(null);
    ComService.internalReleaseIResources("not a resource");
  }

  @ParameterizedTest(name = "0x{0}")
  @CsvSource({"80004005", "00000000", "80020005", "7FFFFFFF"})
  void errorCodesBecomeComErrorValues(String hex) {
    int scode = Integer.parseUnsignedInt(hex, 16);
    Object value = ComService.internalGetErrorObject(scode);
    assertEquals(new ComError(scode), value);
  }

  @Test
  void theOmittedArgumentCodeBecomesMissing() {
    assertSame(Missing.VALUE, ComService.internalGetErrorObject(0x80020004));
  }

  static Stream<Arguments> nullTexts() {
    return Stream.of(
        Arguments.of("clsid", (Executable) () -> ComService.coCreateInstance(null)),
        Arguments.of("clsid", (Executable) () -> ComService.coCreateInstance(null, ClsCtx.ALL)),
        Arguments.of("clsid", (Executable) () -> ComService.createDispatch(null)),
        Arguments.of("displayName", (Executable) () -> ComService.coGetObject(null)),
        Arguments.of("clsid", (Executable) () -> ComService.getActiveObject(null)),
        Arguments.of("text", (Executable) () -> ComService.messageBox(null, "caption", 0)),
        Arguments.of("caption", (Executable) () -> ComService.messageBox("text", null, 0)));
  }

  @ParameterizedTest(name = "{index}: {0}")
  @MethodSource("nullTexts")
  void nullTextIsRefusedBeforeReachingCom(String parameter, Executable call) {
    NullPointerException e = assertThrows(NullPointerException.class, call);
    assertTrue(e.getMessage().contains(parameter), e.getMessage());
  }
}
