package com.qel.vandrel.com.win32;

/** A COM container of embedded objects, reached through {@code IOleContainer}. */
public interface IOleContainer extends IUnknown {
  /** The interface identifier of {@code IOleContainer}. */
  Guid IID = Guid.parse("{0000011B-0000-0000-C000-000000000046}");

  /** {@code EnumObjects} flag: embedded objects. */
  int OLECONTF_EMBEDDINGS = 1;
  /** {@code EnumObjects} flag: linked objects. */
  int OLECONTF_LINKS = 2;
  /** {@code EnumObjects} flag: other objects. */
  int OLECONTF_OTHERS = 4;
  /** {@code EnumObjects} flag: only objects the user is aware of. */
  int OLECONTF_ONLYUSER = 8;
  /** {@code EnumObjects} flag: only running objects. */
  int OLECONTF_ONLYIFRUNNING = 16;

  /**
   * Enumerates the objects of the container. The wrapper owns exactly one reference to the
   * enumerator, like every wrapper: the native call behind this method adds a reference of its
   * own to the one {@code EnumObjects} returned, and this method gives that extra reference back
   * at once.
   *
   * @param flags a combination of the {@code OLECONTF_*} flags, passed on unchanged
   * @return a new enumerator wrapper, or null when the container answers anything but {@code
   *     S_OK}
   * @throws ComException when the container's {@code EnumObjects} raises an access violation
   */
  IEnumUnknown enumObjects(int flags);

  /**
   * Keeps the container running until the returned lock is closed ({@code LockContainer(TRUE)}
   * now, {@code LockContainer(FALSE)} at the close).
   *
   * <pre>{@code
   * try (IOleContainer.Lock lock = container.lock()) {
   *   ...
   * }
   * }</pre>
   *
   * @return the lock
   * @throws ComException when the container refuses the lock or its {@code LockContainer} raises an
   *     access violation
   */
  Lock lock();

  /**
   * Calls {@code LockContainer} once.
   *
   * @param lock true to lock ({@code fLock} 1), false to unlock ({@code fLock} 0)
   * @return true when the container answered {@code S_OK}
   * @throws ComException when the container's {@code LockContainer} raises an access violation
   */
  boolean lockContainer(boolean lock);

  /** A lock on a container, taken by {@link #lock()}. */
  interface Lock extends AutoCloseable {
    /**
     * Unlocks the container ({@code LockContainer(FALSE)}); calling it again does nothing.
     *
     * @throws ComException when the container's {@code LockContainer} raises an access violation
     */
    @Override
    void close();
  }
}
