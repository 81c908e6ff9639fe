// Critical sections as recursive pthread mutexes placed inside the opaque
// CRITICAL_SECTION storage.
#include <pthread.h>

#include <new>

#include "oleport.h"

namespace {

static_assert(sizeof(CRITICAL_SECTION) >= sizeof(pthread_mutex_t),
              "CRITICAL_SECTION must hold a pthread mutex");
static_assert(alignof(CRITICAL_SECTION) >= alignof(pthread_mutex_t),
              "CRITICAL_SECTION must be aligned for a pthread mutex");

pthread_mutex_t* mutex_of(LPCRITICAL_SECTION section) {
  return std::launder(reinterpret_cast<pthread_mutex_t*>(section->opaque));
}

}  // namespace

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(new (lpCriticalSection->opaque) pthread_mutex_t, &attributes);
  pthread_mutexattr_destroy(&attributes);
}

void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
  pthread_mutex_lock(mutex_of(lpCriticalSection));
}

BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
  return pthread_mutex_trylock(mutex_of(lpCriticalSection)) == 0 ? TRUE : FALSE;
}

void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
  pthread_mutex_unlock(mutex_of(lpCriticalSection));
}

void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
  pthread_mutex_destroy(mutex_of(lpCriticalSection));
}
