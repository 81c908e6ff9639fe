package com.qel.vandrel.com.win32;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assertions.fail;

import java.lang.reflect.Constructor;
import java.lang.reflect.Executable;
import java.lang.reflect.Field;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.util.stream.Stream;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * The native library finds these members by name and descriptor; a rename or signature change on
 * the Java side breaks it only at run time, so the table is checked here. Classes are looked at
 * without being initialised: no native library is needed.
 */
class JniContractTest {
  private static final String P = "com.qel.vandrel.com.win32.";
  private static final String L = "Lcom/qel/vandrel/com/win32/";

  enum Kind {
    STATIC_NATIVE,
    INSTANCE_NATIVE,
    STATIC,
    INSTANCE,
    CONSTRUCTOR,
    /** A constructor only the native library calls: kept out of the public API. */
    INTERNAL_CONSTRUCTOR,
    STATIC_FIELD
  }

  static Stream<Arguments> contract() {
    Stream.Builder<Arguments> b = Stream.builder();
    String cs = P + "ComService";
    b.add(arguments(cs, "_initialize", "()V", Kind.STATIC_NATIVE));
    b.add(arguments(cs, "_uninitialize", "()V", Kind.STATIC_NATIVE));
    b.add(arguments(cs, "_coCreateInstance", "(Ljava/lang/String;I)J", Kind.STATIC_NATIVE));
    b.add(arguments(cs, "_coGetObject", "(Ljava/lang/String;)J", Kind.STATIC_NATIVE));
    b.add(arguments(cs, "_getActiveObject", "(Ljava/lang/String;)J", Kind.STATIC_NATIVE));
    b.add(arguments(cs, "_releaseVariant", "(J)V", Kind.STATIC_NATIVE));
    b.add(arguments(cs, "_releaseVariantLater", "(J)V", Kind.STATIC_NATIVE));
    b.add(
        arguments(
            cs, "_messageBox", "(Ljava/lang/String;Ljava/lang/String;I)I", Kind.STATIC_NATIVE));
    b.add(arguments(cs, "internalReleaseIResources", "(Ljava/lang/Object;)V", Kind.STATIC));
    b.add(arguments(cs, "internalGetErrorObject", "(I)Ljava/lang/Object;", Kind.STATIC));

    String unk = P + "impl.IUnknownImpl";
    b.add(arguments(unk, "_addRef", "(J)I", Kind.INSTANCE_NATIVE));
    b.add(arguments(unk, "_release", "(J)I", Kind.INSTANCE_NATIVE));
    b.add(arguments(unk, "_queryInterface", "(JJJ)" + L + "IUnknown;", Kind.INSTANCE_NATIVE));
    b.add(arguments(unk, "_addReleaseWaitQueue", "(J)I", Kind.STATIC_NATIVE));
    String disp = P + "impl.IDispatchImpl";
    b.add(
        arguments(
            disp, "_getIDsOfNames", "(J[Ljava/lang/String;I)[J", Kind.INSTANCE_NATIVE));
    b.add(
        arguments(
            disp,
            "_invoke",
            "(JJII[Ljava/lang/Object;)Ljava/lang/Object;",
            Kind.INSTANCE_NATIVE));
    b.add(arguments(disp, "_put", "(JJILjava/lang/Object;)Z", Kind.INSTANCE_NATIVE));

    String enumVariant = P + "impl.IEnumVARIANTImpl";
    b.add(arguments(enumVariant, "_next", "(JI)[Ljava/lang/Object;", Kind.INSTANCE_NATIVE));
    b.add(arguments(enumVariant, "_skip", "(JI)Z", Kind.INSTANCE_NATIVE));
    b.add(arguments(enumVariant, "_reset", "(J)Z", Kind.INSTANCE_NATIVE));
    b.add(arguments(enumVariant, "__clone", "(J)" + L + "IUnknown;", Kind.INSTANCE_NATIVE));

    b.add(arguments(P + "IUnknown", "newIUnknown", "(J)" + L + "IUnknown;", Kind.INSTANCE));
    b.add(arguments(unk, "newIDispatch", "(J)" + L + "IDispatch;", Kind.INSTANCE));
    b.add(arguments(P + "IDispatch", "newIDispatch", "(J)" + L + "IDispatch;", Kind.INSTANCE));
    b.add(arguments(P + "IResource", "getPtr", "()J", Kind.INSTANCE));

    b.add(arguments(P + "ComException", "<init>", "(Ljava/lang/String;)V", Kind.CONSTRUCTOR));
    b.add(
        arguments(P + "DispatchException", "<init>", "(Ljava/lang/String;)V", Kind.CONSTRUCTOR));
    b.add(
        arguments(
            P + "DispatchVariant2JavaException",
            "<init>",
            "(Ljava/lang/String;J)V",
            Kind.INTERNAL_CONSTRUCTOR));
    b.add(arguments(P + "Missing", "VALUE", L + "Missing;", Kind.STATIC_FIELD));

    String rc = P + "RefContainer";
    b.add(arguments(rc, "_calloc", "(I)J", Kind.STATIC_NATIVE));
    b.add(arguments(rc, "_free", "(J)V", Kind.STATIC_NATIVE));
    String[][] cells = {
      {"Boolean", "Z"},
      {"Byte", "B"},
      {"Short", "S"},
      {"Int", "I"},
      {"Long", "J"},
      {"Float", "F"},
      {"Double", "D"},
      {"IUnknown", "J"},
      {"VoidPtr", "J"},
      {"Object", "Ljava/lang/Object;"},
      {"BStrPtr", "Ljava/lang/String;"},
    };
    for (String[] cell : cells) {
      b.add(arguments(rc, "_getValueBy" + cell[0], "(J)" + cell[1], Kind.STATIC_NATIVE));
      b.add(arguments(rc, "_setValueFor" + cell[0], "(J" + cell[1] + ")V", Kind.STATIC_NATIVE));
    }
    return b.build();
  }

  private static Arguments arguments(String type, String name, String descriptor, Kind kind) {
    return Arguments.of(type, name, descriptor, kind);
  }

  @ParameterizedTest(name = "{0}.{1}{2}")
  @MethodSource("contract")
  void memberTheNativeLibraryLooksUpExists(String type, String name, String descriptor, Kind kind)
      throws ClassNotFoundException {
    Class<?> c = Class.forName(type, false, getClass().getClassLoader());
    if (kind == Kind.STATIC_FIELD) {
      for (Field f : c.getDeclaredFields()) {
        if (f.getName().equals(name) && descriptorOf(f.getType()).equals(descriptor)) {
          assertTrue(Modifier.isStatic(f.getModifiers()), "static");
          return;
        }
      }
      fail("no field " + name + " " + descriptor);
    }
    Executable found = null;
    boolean constructor = kind == Kind.CONSTRUCTOR || kind == Kind.INTERNAL_CONSTRUCTOR;
    for (Executable e : constructor ? c.getDeclaredConstructors() : c.getDeclaredMethods()) {
      String eName = e instanceof Constructor ? "<init>" : e.getName();
      if (eName.equals(name) && descriptorOf(e).equals(descriptor)) {
        found = e;
      }
    }
    if (found == null) {
      fail("no member " + name + descriptor + " in " + type);
    }
    int mods = found.getModifiers();
    boolean isStatic = kind == Kind.STATIC_NATIVE || kind == Kind.STATIC;
    boolean isNative = kind == Kind.STATIC_NATIVE || kind == Kind.INSTANCE_NATIVE;
    assertEquals(isNative, Modifier.isNative(mods), "native");
    if (!constructor) {
      assertEquals(isStatic, Modifier.isStatic(mods), "static");
    }
    if (kind == Kind.STATIC || kind == Kind.CONSTRUCTOR) {
      assertTrue(Modifier.isPublic(mods), "public");
    }
    if (kind == Kind.INTERNAL_CONSTRUCTOR) {
      assertFalse(Modifier.isPublic(mods) || Modifier.isProtected(mods), "outside the public API");
    }
  }

  private static String descriptorOf(Executable e) {
    StringBuilder sb = new StringBuilder("(");
    for (Class<?> p : e.getParameterTypes()) {
      sb.append(descriptorOf(p));
    }
    sb.append(')');
    sb.append(e instanceof Method ? descriptorOf(((Method) e).getReturnType()) : "V");
    return sb.toString();
  }

  private static String descriptorOf(Class<?> type) {
    if (type.isArray()) {
      return type.getName().replace('.', '/');
    }
    if (!type.isPrimitive()) {
      return "L" + type.getName().replace('.', '/') + ";";
    }
    String primitives = "boolean:Z byte:B char:C short:S int:I long:J float:F double:D void:V";
    for (String pair : primitives.split(" ")) {
      if (pair.startsWith(type.getName() + ":")) {
        return pair.substring(pair.indexOf(':') + 1);
      }
    }
    throw new AssertionError(type);
  }
}
