// CoInitialize/CoInitializeEx/CoUninitialize: per-thread initialisation
// counting and the teardown when a thread leaves its apartment.
#include "apartment.h"

#include <atomic>

#include "class_table.h"
#include "oleport.h"
#include "running_objects.h"

namespace {

struct ThreadApartment {
  unsigned long initialisations = 0;
  bool multithreaded = false;
};

thread_local ThreadApartment this_thread;
// Threads currently in the multithreaded apartment.
std::atomic<long> mta_threads{0};

}  // namespace

namespace oleport {

bool current_thread_in_apartment() {
  return this_thread.initialisations != 0 || mta_threads.load() > 0;
}

}  // namespace oleport

HRESULT WINAPI CoInitialize(LPVOID pvReserved) {
  return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
}

HRESULT WINAPI CoInitializeEx(LPVOID /*pvReserved*/, DWORD dwCoInit) {
  const bool multithreaded = (dwCoInit & COINIT_APARTMENTTHREADED) == 0;
  if (this_thread.initialisations == 0) {
    this_thread.initialisations = 1;
    this_thread.multithreaded = multithreaded;
    if (multithreaded) mta_threads.fetch_add(1);
    return S_OK;
  }
  if (this_thread.multithreaded != multithreaded) return RPC_E_CHANGED_MODE;
  ++this_thread.initialisations;
  return S_FALSE;
}

void WINAPI CoUninitialize(void) {
  if (this_thread.initialisations == 0) return;
  if (--this_thread.initialisations != 0) return;
  const DWORD thread = GetCurrentThreadId();
  oleport::revoke_running_objects_of(thread);
  oleport::revoke_class_objects_of(thread);
  if (this_thread.multithreaded) mta_threads.fetch_sub(1);
}
