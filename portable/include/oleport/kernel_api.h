// kernel32/user32 subset: security attributes, global memory, critical
// sections, the thread id and MessageBoxW.
#pragma once

#include "oleport/base_types.h"

// Security attributes of a new object; the runtime has no security, so
// functions taking them ignore them.
typedef struct _SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *PSECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

// ---- global memory -----------------------------------------------------------------
#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)

// Fixed blocks only: the handle is the address. GMEM_ZEROINIT zero-fills.
// GMEM_MOVEABLE is not supported and gives null.
OLEPORT_API HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes);
// Frees a block; returns null on success (as on Windows). Null is accepted.
OLEPORT_API HGLOBAL WINAPI GlobalFree(HGLOBAL hMem);
// Fixed blocks: the address itself / TRUE, nothing to lock.
OLEPORT_API LPVOID WINAPI GlobalLock(HGLOBAL hMem);
OLEPORT_API BOOL WINAPI GlobalUnlock(HGLOBAL hMem);

// ---- critical sections ---------------------------------------------------------------
// Re-entrant locks. The struct is opaque and large enough for a recursive
// pthread mutex; it must not be copied once initialised.
typedef struct _RTL_CRITICAL_SECTION {
  alignas(8) unsigned char opaque[40];  // the size Windows gives it
} CRITICAL_SECTION, *LPCRITICAL_SECTION, *PCRITICAL_SECTION;

OLEPORT_API void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
// Blocks until owned; the owner may enter again (one Leave per Enter).
OLEPORT_API void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
// TRUE when entered (also when already owned by this thread), FALSE when
// another thread owns it.
OLEPORT_API BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
OLEPORT_API void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
OLEPORT_API void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection);

// Kernel id of the calling thread.
OLEPORT_API DWORD WINAPI GetCurrentThreadId(void);

// ---- message boxes ---------------------------------------------------------------------
#define MB_OK 0x00000000
#define MB_OKCANCEL 0x00000001
#define MB_ABORTRETRYIGNORE 0x00000002
#define MB_YESNOCANCEL 0x00000003
#define MB_YESNO 0x00000004
#define MB_RETRYCANCEL 0x00000005
#define MB_CANCELTRYCONTINUE 0x00000006
#define MB_ICONHAND 0x00000010
#define MB_ICONQUESTION 0x00000020
#define MB_ICONEXCLAMATION 0x00000030
#define MB_ICONASTERISK 0x00000040
#define MB_USERICON 0x00000080
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_ICONSTOP MB_ICONHAND
#define MB_DEFBUTTON1 0x00000000
#define MB_DEFBUTTON2 0x00000100
#define MB_DEFBUTTON3 0x00000200
#define MB_DEFBUTTON4 0x00000300
#define MB_APPLMODAL 0x00000000
#define MB_SYSTEMMODAL 0x00001000
#define MB_TASKMODAL 0x00002000
#define MB_HELP 0x00004000
#define MB_SETFOREGROUND 0x00010000
#define MB_TOPMOST 0x00040000
#define MB_TYPEMASK 0x0000000F
#define MB_ICONMASK 0x000000F0
#define MB_DEFMASK 0x00000F00

#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7
#define IDCLOSE 8
#define IDHELP 9
#define IDTRYAGAIN 10
#define IDCONTINUE 11

// There is no window system: writes "caption: text" (UTF-8, one line) to
// standard error and answers with the style's default button (MB_DEFBUTTON2/3
// pick the second/third button; a default past the last button falls back to
// the first, as on Windows). A null caption reads "Error" as on Windows. Tests
// can force the answer through oleport_testing.h.
OLEPORT_API INT WINAPI MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType);
