package com.qel.vandrel.com.win32;

/**
 * Something that hands a native address to COM: an interface pointer or a by-reference cell.
 */
public interface IResource {
  /**
   * Returns the native address this object stands for.
   *
   * @throws IllegalStateException when the resource has been closed or detached
   * @return the native address this object stands for
   */
  long getPtr();
}
