// Declarations of the library's JNI natives, so tests can call them directly
// with the embedded JVM's environment.
#pragma once

#include <jni.h>

extern "C" {
void JNICALL Java_com_qel_vandrel_com_win32_ComService__1initialize(JNIEnv*, jclass);
void JNICALL Java_com_qel_vandrel_com_win32_ComService__1uninitialize(JNIEnv*, jclass);
jlong JNICALL Java_com_qel_vandrel_com_win32_ComService__1coCreateInstance__Ljava_lang_String_2I(
    JNIEnv*, jclass, jstring, jint);
jlong JNICALL Java_com_qel_vandrel_com_win32_ComService__1coGetObject(JNIEnv*, jclass, jstring);
jlong JNICALL Java_com_qel_vandrel_com_win32_ComService__1getActiveObject(JNIEnv*, jclass, jstring);
void JNICALL Java_com_qel_vandrel_com_win32_ComService__1releaseVariant(JNIEnv*, jclass, jlong);
void JNICALL Java_com_qel_vandrel_com_win32_ComService__1releaseVariantLater(JNIEnv*, jclass,
                                                                             jlong);
jint JNICALL Java_com_qel_vandrel_com_win32_ComService__1messageBox(JNIEnv*, jclass, jstring,
                                                                    jstring, jint);

jint JNICALL Java_com_qel_vandrel_com_win32_impl_IUnknownImpl__1addRef(JNIEnv*, jobject, jlong);
jint JNICALL Java_com_qel_vandrel_com_win32_impl_IUnknownImpl__1release(JNIEnv*, jobject, jlong);
jobject JNICALL Java_com_qel_vandrel_com_win32_impl_IUnknownImpl__1queryInterface(JNIEnv*, jobject,
                                                                                  jlong, jlong,
                                                                                  jlong);
jint JNICALL Java_com_qel_vandrel_com_win32_impl_IUnknownImpl__1addReleaseWaitQueue(JNIEnv*, jclass,
                                                                                    jlong);
}

extern "C" {
jobjectArray JNICALL Java_com_qel_vandrel_com_win32_impl_IEnumUnknownImpl__1next(JNIEnv*, jobject,
                                                                                 jlong, jint);
jboolean JNICALL Java_com_qel_vandrel_com_win32_impl_IEnumUnknownImpl__1skip(JNIEnv*, jobject,
                                                                             jlong, jint);
jboolean JNICALL Java_com_qel_vandrel_com_win32_impl_IEnumUnknownImpl__1reset(JNIEnv*, jobject,
                                                                              jlong);
jobject JNICALL Java_com_qel_vandrel_com_win32_impl_IEnumUnknownImpl__1_1clone(JNIEnv*, jobject,
                                                                               jlong);
jobject JNICALL Java_com_qel_vandrel_com_win32_impl_IOleContainerImpl__1enumObjects(JNIEnv*,
                                                                                    jobject, jlong,
                                                                                    jint);
jboolean JNICALL Java_com_qel_vandrel_com_win32_impl_IOleContainerImpl__1lockContainer(JNIEnv*,
                                                                                       jobject,
                                                                                       jlong,
                                                                                       jboolean);
jlong JNICALL Java_com_qel_vandrel_com_win32_impl_IUrlHistoryStg2Impl__1initialize(JNIEnv*, jclass);
jboolean JNICALL Java_com_qel_vandrel_com_win32_impl_IUrlHistoryStg2Impl__1isVisited(JNIEnv*,
                                                                                     jclass, jlong,
                                                                                     jstring);
jint JNICALL Java_com_qel_vandrel_com_win32_impl_IUrlHistoryStg2Impl__1release(JNIEnv*, jclass,
                                                                               jlong);
}
