package com.qel.vandrel.com.win32;

import com.qel.vandrel.com.win32.impl.NativeHandleCleaner;
import com.qel.vandrel.com.win32.impl.NativeLibrary;

/**
 * A native memory cell passed to COM by reference, so a called method can write a result into it.
 * The concrete cells ({@link RefInt}, {@link RefString} ...) give typed access.
 *
 * <p>A cell is freed exactly once: by {@link #close()} (use try-with-resources), or later, on a
 * background thread, when it becomes unreachable unclosed. A string cell frees its string too.
 * After {@code close()} every access throws {@link IllegalStateException}. Cells are thread-safe.
 *
 * <pre>{@code
 * try (RefInt count = new RefInt()) {
 *   automation.invoke("GetCount", count);
 *   System.out.println(count.get());
 * }
 * }</pre>
 */
public abstract class RefContainer implements IResource, AutoCloseable {
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
  private final NativeHandleCleaner.Handle cell;

  /**
   * Allocates a zeroed cell.
   *
   * @param holdsString whether the cell holds a {@code BSTR} that has to be freed with it
   */
  RefContainer(boolean holdsString) {
    disposal = holdsString ? FREE_STRING_CELL : FREE_CELL;
    long address = _calloc(CELL_SIZE);
    if (address == 0) {
      throw new OutOfMemoryError("No native memory for a by-reference cell");
    }
    cell = NativeHandleCleaner.shared().register(this, address, disposal);
  }

  /**
   * Returns the address of the cell.
   *
   * @throws IllegalStateException after {@link #close()}
   */
  @Override
  public synchronized long getPtr() {
    return cell.get();
  }

  /** Tells whether the cell has been freed. */
  public boolean isClosed() {
    return !cell.isOpen();
  }

  /** Frees the cell (and the string it holds); later calls do nothing. */
  @Override
  public synchronized void close() {
    long address = cell.take();
    if (address != 0) {
      disposal.release(address);
    }
  }

  // Typed access for the concrete cells. Holding the monitor keeps the cell alive and open for
  // the duration of the native call.

  final synchronized byte readByte() {
    return _getValueByByte(cell.get());
  }

  final synchronized void writeByte(byte value) {
    _setValueForByte(cell.get(), value);
  }

  final synchronized short readShort() {
    return _getValueByShort(cell.get());
  }

  final synchronized void writeShort(short value) {
    _setValueForShort(cell.get(), value);
  }

  final synchronized int readInt() {
    return _getValueByInt(cell.get());
  }

  final synchronized void writeInt(int value) {
    _setValueForInt(cell.get(), value);
  }

  final synchronized long readLong() {
    return _getValueByLong(cell.get());
  }

  final synchronized void writeLong(long value) {
    _setValueForLong(cell.get(), value);
  }

  final synchronized float readFloat() {
    return _getValueByFloat(cell.get());
  }

  final synchronized void writeFloat(float value) {
    _setValueForFloat(cell.get(), value);
  }

  final synchronized double readDouble() {
    return _getValueByDouble(cell.get());
  }

  final synchronized void writeDouble(double value) {
    _setValueForDouble(cell.get(), value);
  }

  final synchronized String readString() {
    return _getValueByBStrPtr(cell.get());
  }

  final synchronized void writeString(String value) {
    _setValueForBStrPtr(cell.get(), value);
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
