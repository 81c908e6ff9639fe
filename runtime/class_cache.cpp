#include "runtime/class_cache.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "runtime/calendar.h"
#include "runtime/errors.h"
#include "runtime/jni_refs.h"

OvClassCache ov_cache{};
std::atomic<bool> ov_cache_filled{false};

namespace {

// One row of the fill, in lookup order. A method row is looked up on the
// class of the most recent class row; a TYPE row reads the primitive class
// of a wrapper class filled earlier.
struct FillRow {
  enum Kind { kClass, kMethod, kStaticMethod, kPrimitiveType, kOptionalField } kind;
  const char* name;
  const char* signature;
  jclass OvClassCache::*cls;
  jmethodID OvClassCache::*method;
  jclass OvClassCache::*wrapper;
  jfieldID OvClassCache::*field = nullptr;
};

constexpr FillRow Class(jclass OvClassCache::*entry, const char* name) {
  return {FillRow::kClass, name, nullptr, entry, nullptr, nullptr};
}
constexpr FillRow Method(jmethodID OvClassCache::*entry, const char* name, const char* sig) {
  return {FillRow::kMethod, name, sig, nullptr, entry, nullptr};
}
constexpr FillRow Static(jmethodID OvClassCache::*entry, const char* name, const char* sig) {
  return {FillRow::kStaticMethod, name, sig, nullptr, entry, nullptr};
}
// A field of the most recent class that the library can do without: when
// the class has none of that name and type, the entry stays null.
constexpr FillRow OptionalField(jfieldID OvClassCache::*entry, const char* name, const char* sig) {
  return {FillRow::kOptionalField, name, sig, nullptr, nullptr, nullptr, entry};
}
constexpr FillRow TypeOf(jclass OvClassCache::*entry, jclass OvClassCache::*wrapper) {
  return {FillRow::kPrimitiveType, "TYPE", nullptr, entry, nullptr, wrapper};
}

#define OV_PKG "com/qel/vandrel/com/win32/"
using C = OvClassCache;

constexpr FillRow kFill[] = {
    Class(&C::comService, OV_PKG "ComService"),
    Static(&C::internalReleaseIResources, "internalReleaseIResources", "(Ljava/lang/Object;)V"),
    Static(&C::internalGetErrorObject, "internalGetErrorObject", "(I)Ljava/lang/Object;"),
    Class(&C::missing, OV_PKG "Missing"),
    Class(&C::comException, OV_PKG "ComException"),
    Method(&C::comExceptionInit, "<init>", "(Ljava/lang/String;)V"),
    Method(&C::comExceptionInitCode, "<init>", "(Ljava/lang/String;I)V"),
    Class(&C::dispatchException, OV_PKG "DispatchException"),
    Method(&C::dispatchExceptionInit, "<init>", "(Ljava/lang/String;)V"),
    Method(&C::dispatchExceptionInitCode, "<init>", "(Ljava/lang/String;I)V"),
    Method(&C::dispatchExceptionInitInfo, "<init>",
           "(Ljava/lang/String;ILjava/lang/String;Ljava/lang/String;Ljava/lang/String;III)V"),
    Class(&C::conversionException, OV_PKG "DispatchVariant2JavaException"),
    Method(&C::conversionExceptionInit, "<init>", "(Ljava/lang/String;J)V"),
    Class(&C::iDispatch, OV_PKG "IDispatch"),
    Method(&C::newIDispatch, "newIDispatch", "(J)L" OV_PKG "IDispatch;"),
    Class(&C::iUnknown, OV_PKG "IUnknown"),
    Method(&C::newIUnknown, "newIUnknown", "(J)L" OV_PKG "IUnknown;"),
    Class(&C::iUnknownImpl, OV_PKG "impl/IUnknownImpl"),
    Method(&C::unknownImplNewIDispatch, "newIDispatch", "(J)L" OV_PKG "IDispatch;"),
    Class(&C::iOleContainer, OV_PKG "IOleContainer"),
    Class(&C::iEnumUnknown, OV_PKG "IEnumUnknown"),
    Class(&C::iResource, OV_PKG "IResource"),
    Method(&C::getPtr, "getPtr", "()J"),
    Class(&C::refContainer, OV_PKG "RefContainer"),
    Class(&C::refString, OV_PKG "RefString"),
    Class(&C::refByte, OV_PKG "RefByte"),
    Class(&C::refShort, OV_PKG "RefShort"),
    Class(&C::refInt, OV_PKG "RefInt"),
    Class(&C::refLong, OV_PKG "RefLong"),
    Class(&C::refFloat, OV_PKG "RefFloat"),
    Class(&C::refDouble, OV_PKG "RefDouble"),
    Class(&C::object, "java/lang/Object"),
    Method(&C::toString, "toString", "()Ljava/lang/String;"),
    Class(&C::string, "java/lang/String"),
    Class(&C::booleanClass, "java/lang/Boolean"),
    Method(&C::booleanValue, "booleanValue", "()Z"),
    Method(&C::booleanInit, "<init>", "(Z)V"),
    OptionalField(&C::booleanField, "value", "Z"),
    Class(&C::byteClass, "java/lang/Byte"),
    Method(&C::byteValue, "byteValue", "()B"),
    Method(&C::byteInit, "<init>", "(B)V"),
    OptionalField(&C::byteField, "value", "B"),
    Class(&C::shortClass, "java/lang/Short"),
    Method(&C::shortValue, "shortValue", "()S"),
    Method(&C::shortInit, "<init>", "(S)V"),
    OptionalField(&C::shortField, "value", "S"),
    Class(&C::integerClass, "java/lang/Integer"),
    Method(&C::intValue, "intValue", "()I"),
    Method(&C::integerInit, "<init>", "(I)V"),
    OptionalField(&C::integerField, "value", "I"),
    Class(&C::longClass, "java/lang/Long"),
    Method(&C::longValue, "longValue", "()J"),
    Method(&C::longInit, "<init>", "(J)V"),
    OptionalField(&C::longField, "value", "J"),
    Class(&C::floatClass, "java/lang/Float"),
    Method(&C::floatValue, "floatValue", "()F"),
    Method(&C::floatInit, "<init>", "(F)V"),
    OptionalField(&C::floatField, "value", "F"),
    Class(&C::doubleClass, "java/lang/Double"),
    Method(&C::doubleValue, "doubleValue", "()D"),
    Method(&C::doubleInit, "<init>", "(D)V"),
    OptionalField(&C::doubleField, "value", "D"),
    Class(&C::classClass, "java/lang/Class"),
    Method(&C::isPrimitive, "isPrimitive", "()Z"),
    Method(&C::isArray, "isArray", "()Z"),
    Method(&C::getComponentType, "getComponentType", "()Ljava/lang/Class;"),
    TypeOf(&C::booleanType, &C::booleanClass),
    TypeOf(&C::byteType, &C::byteClass),
    TypeOf(&C::shortType, &C::shortClass),
    TypeOf(&C::intType, &C::integerClass),
    TypeOf(&C::longType, &C::longClass),
    TypeOf(&C::floatType, &C::floatClass),
    TypeOf(&C::doubleType, &C::doubleClass),
    Class(&C::date, "java/util/Date"),
    Method(&C::dateInit, "<init>", "(J)V"),
    Method(&C::dateGetTime, "getTime", "()J"),
    Class(&C::calendar, "java/util/Calendar"),
    Static(&C::calendarGetInstance, "getInstance", "()Ljava/util/Calendar;"),
    Method(&C::calendarGet, "get", "(I)I"),
    Method(&C::calendarSet2, "set", "(II)V"),
    Method(&C::calendarSet6, "set", "(IIIIII)V"),
    Method(&C::calendarGetTime, "getTime", "()Ljava/util/Date;"),
    Method(&C::calendarSetTime, "setTime", "(Ljava/util/Date;)V"),
    Method(&C::calendarClear, "clear", "()V"),
    Method(&C::calendarGetTimeInMillis, "getTimeInMillis", "()J"),
    Method(&C::calendarSetTimeInMillis, "setTimeInMillis", "(J)V"),
    Class(&C::gregorianCalendar, "java/util/GregorianCalendar"),
    Method(&C::gregorianCalendarInit, "<init>", "()V"),
    Method(&C::setGregorianChange, "setGregorianChange", "(Ljava/util/Date;)V"),
};

struct FieldRow {
  jclass OvClassCache::*owner;
  const char* name;
  jint OvClassCache::*entry;
};
constexpr FieldRow kCalendarFields[] = {
    {&C::calendar, "YEAR", &C::fieldYear},
    {&C::calendar, "MONTH", &C::fieldMonth},
    {&C::calendar, "DAY_OF_MONTH", &C::fieldDayOfMonth},
    {&C::calendar, "HOUR_OF_DAY", &C::fieldHourOfDay},
    {&C::calendar, "MINUTE", &C::fieldMinute},
    {&C::calendar, "SECOND", &C::fieldSecond},
    {&C::calendar, "MILLISECOND", &C::fieldMillisecond},
    {&C::calendar, "ERA", &C::fieldEra},
    {&C::gregorianCalendar, "BC", &C::eraBc},
};
#undef OV_PKG

// Stores a freshly found class in its entry. When the entry already holds the
// same class (a refill), the existing global reference is kept, so readers on
// other threads never see the entry change and refills create nothing.
bool store_class(JNIEnv* env, jclass OvClassCache::*entry, jclass local) {
  jclass& slot = ov_cache.*entry;
  if (slot != nullptr && env->IsSameObject(slot, local)) return true;
  auto global = static_cast<jclass>(env->NewGlobalRef(local));
  if (global == nullptr) return false;
  slot = global;  // a replaced reference may still be in use elsewhere: kept
  return true;
}

bool fill_row(JNIEnv* env, const FillRow& row, jclass owner) {
  switch (row.kind) {
    case FillRow::kClass: {
      OvLocalRef<jclass> local(env, env->FindClass(row.name));
      return local && store_class(env, row.cls, local.get());
    }
    case FillRow::kPrimitiveType: {
      jclass wrapper = ov_cache.*row.wrapper;
      jfieldID field = env->GetStaticFieldID(wrapper, row.name, "Ljava/lang/Class;");
      if (field == nullptr) return false;
      OvLocalRef<jclass> local(env, static_cast<jclass>(env->GetStaticObjectField(wrapper, field)));
      return local && store_class(env, row.cls, local.get());
    }
    case FillRow::kMethod:
    case FillRow::kStaticMethod: {
      jmethodID id = row.kind == FillRow::kMethod
                         ? env->GetMethodID(owner, row.name, row.signature)
                         : env->GetStaticMethodID(owner, row.name, row.signature);
      if (id == nullptr) return false;
      if (ov_cache.*row.method != id) ov_cache.*row.method = id;
      return true;
    }
    case FillRow::kOptionalField: {
      jfieldID id = env->GetFieldID(owner, row.name, row.signature);
      // The NoSuchFieldError of a missing field is the lookup's own answer,
      // not a failure of the fill.
      if (id == nullptr) env->ExceptionClear();
      if (ov_cache.*row.field != id) ov_cache.*row.field = id;
      return true;
    }
  }
  return false;
}

std::mutex& fill_mutex() {
  static std::mutex m;
  return m;
}

}  // namespace

jclass ov_find_class_global(JNIEnv* env, const char* name) {
  OvLocalRef<jclass> local(env, env->FindClass(name));
  if (!local) return nullptr;
  return static_cast<jclass>(env->NewGlobalRef(local.get()));
}

jclass ov_primitive_type_class(JNIEnv* env, jclass wrapper) {
  jfieldID field = env->GetStaticFieldID(wrapper, "TYPE", "Ljava/lang/Class;");
  if (field == nullptr) return nullptr;
  OvLocalRef<jobject> local(env, env->GetStaticObjectField(wrapper, field));
  if (!local) return nullptr;
  return static_cast<jclass>(env->NewGlobalRef(local.get()));
}

int ov_init_class_cache(JNIEnv* env) {
  std::lock_guard<std::mutex> lock(fill_mutex());
  JavaVM* vm = nullptr;
  env->GetJavaVM(&vm);
  ov_cache.vm = vm;

  jclass owner = nullptr;
  for (const FillRow& row : kFill) {
    if (!fill_row(env, row, owner)) return 0;
    if (row.kind == FillRow::kClass) owner = ov_cache.*row.cls;
  }

  // The field numbers come before the calendar, so that a conversion never
  // meets a new calendar while the numbers it reads are still unset.
  for (const FieldRow& row : kCalendarFields) {
    jclass holder = ov_cache.*row.owner;
    jfieldID field = env->GetStaticFieldID(holder, row.name, "I");
    if (field == nullptr) return 0;
    jint value = env->GetStaticIntField(holder, field);
    if (ov_cache.*row.entry != value) ov_cache.*row.entry = value;
  }
  if (!ov_calendar_replace(env)) return 0;
  ov_cache_filled.store(true, std::memory_order_release);
  return 1;
}

JNIEnv* ov_get_env() {
  JavaVM* vm = ov_cache.vm;
  if (vm == nullptr) return nullptr;
  void* env = nullptr;
  if (vm->GetEnv(&env, JNI_VERSION_1_2) != JNI_OK) return nullptr;
  return static_cast<JNIEnv*>(env);
}

OLECHAR* ov_to_wide_string(JNIEnv* env, jobject object) {
  if (object == nullptr) {
    ov_throw_java_lang(env, "NullPointerException", "a null object has no text to pass to COM");
    return nullptr;
  }
  OvLocalRef<jstring> text(env,
                           static_cast<jstring>(env->CallObjectMethod(object, ov_cache.toString)));
  if (env->ExceptionCheck()) return nullptr;
  if (!text) {
    ov_throw_java_lang(env, "NullPointerException",
                       "toString() returned null for a value passed to COM");
    return nullptr;
  }
  OvStringChars chars(env, text.get());
  if (!chars) return nullptr;
  const auto n = static_cast<size_t>(chars.length());
  auto* buffer = static_cast<OLECHAR*>(std::malloc(2 * n + 2));
  if (buffer == nullptr) {
    ov_throw_java_lang(env, "OutOfMemoryError", "no memory for a wide string");
    return nullptr;
  }
  std::memcpy(buffer, chars.get(), 2 * n);
  buffer[n] = 0;
  return buffer;
}
