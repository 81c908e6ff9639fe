package com.qel.vandrel.com.win32;

import com.qel.vandrel.com.win32.impl.NativeHandleCleaner;
import com.qel.vandrel.com.win32.impl.NativeLibrary;
import com.qel.vandrel.com.win32.impl.NativeResource;

/**
 * A native memory cell passed to COM by reference, so a called method can write a result into it.
 * The concrete cells ({@link RefInt}, {@link RefString} ...) give typed access.
 *
 * <p>A cell is freed exactly once: by {@link #close()} (use try-with-resources), or later, on a
 * background thread, when it becomes unreachable unclosed. A string cell frees its string too.
 * After {@code close()} every access throws {@link IllegalStateException}, and so does every call
 * that is given the cell.
 *
 * <pre>{@code
 * try (RefInt count = new RefInt()) {
 *   automation.invoke("GetCount", count);
 *   System.out.println(count.get());
 * }
 * }</pre>
 *
 * <h2>Threads</h2>
 *
 * <p>Cells may be used from several threads. A call that is given the cell (directly or inside an
 * array argument) holds it until the call returns: closing the cell meanwhile on another thread
 * marks it closed at once, but its memory is freed only when the last such call returns.
 *
 * <p>While a call that writes the cell runs, what another thread's {@code get()} sees depends on
 * the kind of cell:
 *
 * <ul>
 *   <li>a number cell ({@link RefByte}, {@link RefShort}, {@link RefInt}, {@link RefLong}, {@link
 *       RefFloat}, {@link RefDouble}) is read without waiting: the value from before the call, or
 *       the one the called method has stored by then. A cell of up to four bytes, and of eight on
 *       a 64-bit JVM, is read in one load and shows either value whole; on a 32-bit JVM a {@link
 *       RefLong} or {@link RefDouble} read during the store may mix old and new halves. Read after
 *       the call returns to see its result for certain;
 *   <li>a {@link RefString} is used by one call or one {@code get()}/{@code set()} at a time,
 *       because the called method frees the old string when it stores a new one: the
 *       {@code get()} waits until the call returns and then sees the string the call left. Two
 *       calls given the same string cell make their COM calls one after the other.
 * </ul>
 */
public abstract class RefContainer extends NativeResource implements IResource, AutoCloseable {
  static {
    NativeLibrary.load();
  }

  /** Bytes of every cell: enough for any value kind on 32- and 64-bit builds. */
  static final int CELL_SIZE = 8;

  private static final NativeHandleCleaner.Release FREE_CELL =
      new NativeHandleCleaner.Release() {
        @Override
        public void release(long address) {
          _free(address);
        }
      };

  private static final NativeHandleCleaner.Release FREE_STRING_CELL =
      new NativeHandleCleaner.Release() {
        @Override
        public void release(long address) {
          _setValueForBStrPtr(address, null);
          _free(address);
        }
      };

  private final NativeHandleCleaner.Release disposal;

  /**
   * Allocates a zeroed cell.
   *
   * @param holdsString whether the cell holds a {@code BSTR} that has to be freed with it; such a
   *     cell is used by one call or accessor at a time
   */
  RefContainer(boolean holdsString) {
    super(allocate(), holdsString ? FREE_STRING_CELL : FREE_CELL, holdsString);
    disposal = holdsString ? FREE_STRING_CELL : FREE_CELL;
  }

  private static long allocate() {
    long address = _calloc(CELL_SIZE);
    if (address == 0) {
      throw new OutOfMemoryError("No native memory for a by-reference cell");
    }
    return address;
  }

  /**
   * Returns the address of the cell, also while it is closed but a call that was given it before
   * the close still runs (the cell is freed when that call returns).
   *
   * @throws IllegalStateException after {@link #close()}
   */
  @Override
  public long getPtr() {
    return handleValue();
  }

  /**
   * Tells whether the cell has been closed.
   *
   * @return whether the cell has been closed
   */
  public boolean isClosed() {
    return isHandleClosed();
  }

  /**
   * Frees the cell (and the string it holds), or, while calls that were given it run, marks it
   * closed and leaves the freeing to the last of them; later calls do nothing.
   */
  @Override
  public void close() {
    closeHandle(disposal);
  }

  // Typed access for the concrete cells: each access is a use of the cell, so a close on another
  // thread meanwhile frees the cell only after the access.

  final byte readByte() {
    long address = enterUse();
    try {
      return _getValueByByte(address);
    } finally {
      leaveUse();
    }
  }

  final void writeByte(byte value) {
    long address = enterUse();
    try {
      _setValueForByte(address, value);
    } finally {
      leaveUse();
    }
  }

  final short readShort() {
    long address = enterUse();
    try {
      return _getValueByShort(address);
    } finally {
      leaveUse();
    }
  }

  final void writeShort(short value) {
    long address = enterUse();
    try {
      _setValueForShort(address, value);
    } finally {
      leaveUse();
    }
  }

  final int readInt() {
    long address = enterUse();
    try {
      return _getValueByInt(address);
    } finally {
      leaveUse();
    }
  }

  final void writeInt(int value) {
    long address = enterUse();
    try {
      _setValueForInt(address, value);
    } finally {
      leaveUse();
    }
  }

  final long readLong() {
    long address = enterUse();
    try {
      return _getValueByLong(address);
    } finally {
      leaveUse();
    }
  }

  final void writeLong(long value) {
    long address = enterUse();
    try {
      _setValueForLong(address, value);
    } finally {
      leaveUse();
    }
  }

  final float readFloat() {
    long address = enterUse();
    try {
      return _getValueByFloat(address);
    } finally {
      leaveUse();
    }
  }

  final void writeFloat(float value) {
    long address = enterUse();
    try {
      _setValueForFloat(address, value);
    } finally {
      leaveUse();
    }
  }

  final double readDouble() {
    long address = enterUse();
    try {
      return _getValueByDouble(address);
    } finally {
      leaveUse();
    }
  }

  final void writeDouble(double value) {
    long address = enterUse();
    try {
      _setValueForDouble(address, value);
    } finally {
      leaveUse();
    }
  }

  final String readString() {
    long address = enterUse();
    try {
      return _getValueByBStrPtr(address);
    } finally {
      leaveUse();
    }
  }

  final void writeString(String value) {
    long address = enterUse();
    try {
      _setValueForBStrPtr(address, value);
    } finally {
      leaveUse();
    }
  }

  static native long _calloc(int size);

  static native void _free(long address);

  static native boolean _getValueByBoolean(long address);

  static native void _setValueForBoolean(long address, boolean value);

  static native byte _getValueByByte(long address);

  static native void _setValueForByte(long address, byte value);

  static native short _getValueByShort(long address);

  static native void _setValueForShort(long address, short value);

  static native int _getValueByInt(long address);

  static native void _setValueForInt(long address, int value);

  static native long _getValueByLong(long address);

  static native void _setValueForLong(long address, long value);

  static native float _getValueByFloat(long address);

  static native void _setValueForFloat(long address, float value);

  static native double _getValueByDouble(long address);

  static native void _setValueForDouble(long address, double value);

  static native long _getValueByIUnknown(long address);

  static native void _setValueForIUnknown(long address, long value);

  static native long _getValueByVoidPtr(long address);

  static native void _setValueForVoidPtr(long address, long value);

  static native Object _getValueByObject(long address);

  static native void _setValueForObject(long address, Object value);

  static native String _getValueByBStrPtr(long address);

  static native void _setValueForBStrPtr(long address, String value);
}
