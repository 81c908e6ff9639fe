package com.qel.vandrel.com.win32.impl;

import java.lang.reflect.Modifier;
import java.util.ArrayDeque;
import java.util.Arrays;
import java.util.Comparator;
import java.util.IdentityHashMap;
import java.util.Map;

/**
 * The resources among the arguments of one automation call, held for the duration of the call:
 * wrappers and cells given directly, and those inside reference arrays ({@code Object[]}, {@code
 * IDispatch[]}, {@code RefInt[]} ...) at any depth. The walk visits every array once, so an array
 * that contains itself ends it instead of looping, and it uses no recursion, so deep nesting cannot
 * exhaust the stack. Arrays whose element type can hold no resource ({@code String[]}, {@code
 * Integer[]}, primitive arrays) are skipped.
 *
 * <p>Exclusive resources are entered in their locking order, the others as found. The same
 * resource given twice is entered twice.
 */
final class CallArguments {
  private static final NativeResource[] NONE = {};
  // Exclusive resources first, in locking order; the others after them, in any order.
  private static final Comparator<NativeResource> LOCKING_ORDER =
      new Comparator<NativeResource>() {
        @Override
        public int compare(NativeResource a, NativeResource b) {
          return Long.compare(rank(a), rank(b));
        }

        private long rank(NativeResource r) {
          return r.isExclusive() ? r.order : Long.MAX_VALUE;
        }
      };

  private CallArguments() {}

  /**
   * Enters every resource in {@code root} (a single value or an array of them) for a call.
   *
   * @return what to give to {@link #leave(NativeResource[])} when the call has returned
   * @throws IllegalStateException when one of them is closed; none is held then
   */
  static NativeResource[] enter(Object root) {
    NativeResource[] found = find(root);
    int entered = 0;
    try {
      for (; entered < found.length; ++entered) {
        found[entered].enterUse();
      }
    } finally {
      if (entered < found.length) {
        leave(found, entered);
      }
    }
    return found;
  }

  /** Ends the uses that {@link #enter(Object)} started. */
  static void leave(NativeResource[] held) {
    leave(held, held.length);
  }

  private static void leave(NativeResource[] held, int count) {
    for (int i = count - 1; i >= 0; --i) {
      held[i].leaveUse();
    }
  }

  private static NativeResource[] find(Object root) {
    if (root instanceof NativeResource) {
      return new NativeResource[] {(NativeResource) root};
    }
    if (!(root instanceof Object[])) {
      return NONE;
    }
    NativeResource[] found = NONE;
    int size = 0;
    int exclusive = 0;
    ArrayDeque<Object[]> pending = null;
    Map<Object[], Boolean> seen = null;
    for (Object[] array = (Object[]) root;
        array != null;
        array = pending == null ? null : pending.poll()) {
      for (Object element : array) {
        if (element instanceof NativeResource) {
          NativeResource resource = (NativeResource) element;
          if (size == found.length) {
            found = Arrays.copyOf(found, Math.max(4, 2 * size));
          }
          found[size++] = resource;
          if (resource.isExclusive()) {
            ++exclusive;
          }
        } else if (element instanceof Object[] && mayHoldResources(element.getClass())) {
          if (seen == null) {
            seen = new IdentityHashMap<>();
            seen.put((Object[]) root, Boolean.TRUE);
            pending = new ArrayDeque<>();
          }
          if (seen.put((Object[]) element, Boolean.TRUE) == null) {
            pending.add((Object[]) element);
          }
        }
      }
    }
    found = size == found.length ? found : Arrays.copyOf(found, size);
    if (exclusive > 1) {
      Arrays.sort(found, LOCKING_ORDER);
    }
    return found;
  }

  // A final element class that is no resource class holds neither resources nor arrays.
  private static boolean mayHoldResources(Class<?> arrayClass) {
    Class<?> component = arrayClass.getComponentType();
    return component.isArray()
        || !Modifier.isFinal(component.getModifiers())
        || NativeResource.class.isAssignableFrom(component);
  }
}
