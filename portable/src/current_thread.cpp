// GetCurrentThreadId: the kernel's thread id, as Windows gives its own.
#include <sys/syscall.h>
#include <unistd.h>

#include "oleport.h"

DWORD WINAPI GetCurrentThreadId(void) {
  thread_local const DWORD id = static_cast<DWORD>(syscall(SYS_gettid));
  return id;
}
