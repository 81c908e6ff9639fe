package com.qel.vandrel.hostile;

import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;

/**
 * Calls a package-private native of the library by reflection, the way a hostile or careless
 * caller could, and rethrows what the native threw.
 */
final class Natives {
  private Natives() {}

  /**
   * Calls the method {@code name} declared by {@code owner} (its only method of that name).
   *
   * @param receiver the object for an instance native, null for a static one
   */
  static Object call(Class<?> owner, Object receiver, String name, Object... args)
      throws Throwable {
    Method method = null;
    for (Method m : owner.getDeclaredMethods()) {
      if (m.getName().equals(name)) {
        method = m;
      }
    }
    if (method == null) {
      throw new NoSuchMethodException(owner.getName() + "." + name);
    }
    method.setAccessible(true);
    try {
      return method.invoke(receiver, args);
    } catch (InvocationTargetException e) {
      throw e.getCause();
    }
  }
}
