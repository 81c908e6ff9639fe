// How deep arrays may nest when they cross between Java and COM.
//
// Each level of a nested array is converted by one level of recursion on the
// native stack, in both directions, and what the bridge hands over is copied
// and destroyed by the platform's VariantCopy and SafeArrayDestroy with one
// level of recursion per level as well. Nesting is therefore bounded, at
// kOvMaxArrayNesting levels counted the way a Java program sees them: every
// Java array level is one level, so a SAFEARRAY of d dimensions is d levels
// and an array inside a VARIANT element adds its levels to those around it.
//
// 255 is the most dimensions a Java array type can have: every array whose
// type Java can spell converts, and only what Object[] (or a callee's
// SAFEARRAY of VARIANT arrays) can nest deeper is refused. On 32-bit Windows
// a level takes about 300 bytes of native stack Java -> COM and 370 bytes
// COM -> Java (the static frames of the recursion, gcc -fstack-usage of the
// i686 build), so 255 levels stay under 95 KB of the 320 KB a 32-bit JVM
// gives a thread. The functions on the recursion keep their frames small for
// that reason (the rarely used work is moved out of line).
#pragma once

#include <jni.h>

#include "platform/com_platform.h"

constexpr int kOvMaxArrayNesting = 255;

// The class of the arrays found among one array's elements and what such an
// array converts to, kept while that array is converted: the sub-arrays of
// one class (the rows of an int[][], say) are classified once, not each by
// its own calls into Java.
struct OvArrayElementClass {
  jclass array_class = nullptr;  // a global reference; null until an array element is met
  VARTYPE element_type = 0;
  bool primitive = false;
};

// One Java array on its way to a SAFEARRAY, linked to the arrays that contain
// it; lives on the stack of the conversion of its level.
struct OvJavaArrayPath {
  jobject array;
  const OvJavaArrayPath* outer;  // null for the outermost array
  int depth;                     // 1 for the outermost array
  // What this array's array elements were classified as, or null.
  OvArrayElementClass* element_arrays = nullptr;
};
