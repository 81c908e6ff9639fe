// Export names of the JNI natives.
//
// A 32-bit Windows JVM looks a native up under its stdcall-decorated name:
// a leading underscore, the JNI name, '@' and the argument byte count
// (for example _Java_..._1initialize@8). MinGW's linker would export the
// name without the underscore, so on 32-bit Windows every native names its
// decorated export itself through a linker directive next to its
// definition (and JNIEXPORT adds nothing there, see platform/win32/jni_md.h).
// Everywhere else the plain JNI name is exported by JNIEXPORT and this
// expands to nothing. A wrong byte count fails the link: the directive then
// names a symbol that does not exist.
#pragma once

#if defined(_WIN32) && defined(__i386__)
#define OV_JNI_EXPORT_STDCALL(name, bytes)                                                 \
  __asm__(".section .drectve\n\t.ascii \" -export:_" #name "@" #bytes "=" #name "@" #bytes \
          "\"\n\t.text")
#else
#define OV_JNI_EXPORT_STDCALL(name, bytes) static_assert(bytes > 0, #name)
#endif
