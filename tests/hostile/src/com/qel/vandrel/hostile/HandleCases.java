package com.qel.vandrel.hostile;

import static com.qel.vandrel.hostile.HostileCase.initialised;

import com.qel.vandrel.com.win32.IDispatch;
import com.qel.vandrel.com.win32.RefContainer;
import com.qel.vandrel.com.win32.impl.IDispatchImpl;
import com.qel.vandrel.com.win32.impl.IUnknownImpl;
import java.util.ArrayList;
import java.util.List;

/**
 * The package-private natives called by reflection with handles no wrapper or cell would pass: 0,
 * a cell already freed, an address that never was a cell, a number read as an object.
 */
final class HandleCases {
  /** A 0 handle: NullPointerException whose message names what is 0. */
  private static final Expected ZERO =
      Expected.throwsMatching(NullPointerException.class, "\\b0\\b");
  private static final Expected NOT_A_CELL =
      Expected.throwsWith(IllegalStateException.class, "is not a live cell");
  private static final int LCID = IDispatch.LOCALE_USER_DEFAULT;

  /** Each RefContainer value kind with a value its setter takes. */
  private static final Object[][] CELL_KINDS = {
      {"Boolean", true},
      {"Byte", (byte) 1},
      {"Short", (short) 1},
      {"Int", 1},
      {"Long", 1L},
      {"Float", 1f},
      {"Double", 1d},
      {"IUnknown", 1L},
      {"VoidPtr", 1L},
      {"Object", "object"},
      {"BStrPtr", "text"},
  };

  private HandleCases() {}

  static List<HostileCase> all() {
    List<HostileCase> cases = new ArrayList<>();
    cases.add(initialised("Handles.ZeroAddRef", ZERO, HandleCases::zeroAddRef));
    cases.add(initialised("Handles.ZeroRelease", ZERO, HandleCases::zeroRelease));
    cases.add(initialised("Handles.ZeroQueryInterface", ZERO, HandleCases::zeroQueryInterface));
    cases.add(initialised("Handles.ZeroGetIDsOfNames", ZERO, HandleCases::zeroGetIDsOfNames));
    cases.add(initialised("Handles.ZeroInvoke", ZERO, HandleCases::zeroInvoke));
    cases.add(initialised("Handles.ZeroPut", ZERO, HandleCases::zeroPut));
    for (Object[] kind : CELL_KINDS) {
      String name = (String) kind[0];
      cases.add(initialised("Handles.ZeroCell" + name, ZERO, c -> zeroCell(name, kind[1])));
    }
    cases.add(initialised("Handles.CellFreedTwice", NOT_A_CELL, c -> freedTwice()));
    cases.add(initialised("Handles.FreedCellRead", NOT_A_CELL, c -> freedCellRead()));
    cases.add(initialised("Handles.FreedCellGivenAString", NOT_A_CELL, c -> freedCellGivenText()));
    cases.add(initialised(
        "Handles.ObjectPointerWrittenAsCell", NOT_A_CELL, HandleCases::objectPointerAsCell));
    cases.add(initialised("Handles.NumberCellReadAsObject",
        Expected.throwsAny(IllegalStateException.class), HandleCases::numberReadAsObject));
    return cases;
  }

  private static Object zeroAddRef(CaseContext c) throws Throwable {
    return Natives.call(IUnknownImpl.class, c.newCounter(), "_addRef", 0L);
  }

  private static Object zeroRelease(CaseContext c) throws Throwable {
    return Natives.call(IUnknownImpl.class, c.newCounter(), "_release", 0L);
  }

  private static Object zeroQueryInterface(CaseContext c) throws Throwable {
    return Natives.call(IUnknownImpl.class, c.newCounter(), "_queryInterface", 0L,
        IDispatch.IID.getHigh(), IDispatch.IID.getLow());
  }

  private static Object zeroGetIDsOfNames(CaseContext c) throws Throwable {
    return Natives.call(
        IDispatchImpl.class, c.newCounter(), "_getIDsOfNames", 0L, new String[] {"Kind"}, LCID);
  }

  private static Object zeroInvoke(CaseContext c) throws Throwable {
    return Natives.call(IDispatchImpl.class, c.newCounter(), "_invoke", 0L, 2L, LCID,
        IDispatch.DISPATCH_PROPERTYGET, new Object[0]);
  }

  private static Object zeroPut(CaseContext c) throws Throwable {
    return Natives.call(IDispatchImpl.class, c.automation(), "_put", 0L, 0L, LCID, 5);
  }

  /** The getter of the kind must throw NullPointerException; the setter's outcome is the case's. */
  private static Object zeroCell(String kind, Object value) throws Throwable {
    Checks.throwsExactly(NullPointerException.class,
        x -> cell("_getValueBy" + kind, 0L), "_getValueBy" + kind + "(0)");
    return cell("_setValueFor" + kind, 0L, value);
  }

  private static Object freedTwice() throws Throwable {
    long address = newCell();
    cell("_free", address);
    return cell("_free", address);
  }

  private static Object freedCellRead() throws Throwable {
    long address = newCell();
    cell("_free", address);
    return cell("_getValueByInt", address);
  }

  private static Object freedCellGivenText() throws Throwable {
    long address = newCell();
    cell("_free", address);
    return cell("_setValueForBStrPtr", address, "text");
  }

  private static Object objectPointerAsCell(CaseContext c) throws Throwable {
    return cell("_setValueForInt", c.newCounter().getPtr(), 0);
  }

  private static Object numberReadAsObject(CaseContext c) throws Throwable {
    long address = newCell();
    c.afterCase(() -> cell("_free", address));
    cell("_setValueForInt", address, 12345);
    return cell("_getValueByObject", address);
  }

  private static Object cell(String name, Object... args) throws Throwable {
    return Natives.call(RefContainer.class, null, name, args);
  }

  private static long newCell() throws Throwable {
    long address = (Long) cell("_calloc", 8);
    Checks.isTrue(address != 0, "_calloc(8) gave no cell");
    return address;
  }
}
