// advapi32 subset: the registry, as far as COM class registrations need it.
// The registry lives in memory for the life of the process and starts with
// two empty hives holding only Software\Classes: the current user's
// (HKEY_CURRENT_USER) and the machine's (HKEY_LOCAL_MACHINE).
// HKEY_CLASSES_ROOT is the merged view of the two Software\Classes keys, as on
// Windows: a key that exists under HKEY_CURRENT_USER\Software\Classes is the
// one the view shows (its values are read and written there), otherwise the
// one under HKEY_LOCAL_MACHINE\Software\Classes; a key created through the view
// that neither has goes to the machine's. Keys opened through the view follow
// it at every call.
//
// Common to every function below:
//   hKey   an open key or one of the three predefined keys above; any other
//          value (closed keys, other predefined keys) gives
//          ERROR_INVALID_HANDLE. An open key whose key has since been deleted
//          gives ERROR_KEY_DELETED.
//   paths  relative, components separated by '\'; a leading '\' gives
//          ERROR_BAD_PATHNAME, empty components are skipped (as Wine does),
//          a component longer than 255 units or a path deeper than 512 keys
//          gives ERROR_INVALID_PARAMETER. Key and value names match ignoring
//          the case of ASCII letters (Windows folds all of Unicode) and keep
//          the case they were created with.
//   access samDesired is kept with the handle: KEY_QUERY_VALUE is needed to
//          read values and KEY_SET_VALUE to write or delete them
//          (ERROR_ACCESS_DENIED otherwise). Creating, opening and deleting
//          keys below a handle needs no right on it (as on Windows, where the
//          keys' own security decides). GENERIC_* rights map to KEY_READ/
//          KEY_WRITE/KEY_EXECUTE/KEY_ALL_ACCESS, MAXIMUM_ALLOWED to
//          KEY_ALL_ACCESS; the predefined keys allow everything. KEY_WOW64_*
//          bits are ignored.
//   memory ERROR_OUTOFMEMORY when the registry cannot grow.
#pragma once

#include "oleport/base_types.h"
#include "oleport/hresult.h"
#include "oleport/kernel_api.h"

struct HKEY__;
typedef HKEY__* HKEY;
typedef HKEY* PHKEY;
typedef LONG LSTATUS;
typedef DWORD ACCESS_MASK;
typedef ACCESS_MASK REGSAM;

#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)((LONG)0x80000000))
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)((LONG)0x80000001))
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))
#define HKEY_USERS ((HKEY)(ULONG_PTR)((LONG)0x80000003))
#define HKEY_CURRENT_CONFIG ((HKEY)(ULONG_PTR)((LONG)0x80000005))

#define DELETE 0x00010000L
#define READ_CONTROL 0x00020000L
#define WRITE_DAC 0x00040000L
#define WRITE_OWNER 0x00080000L
#define SYNCHRONIZE 0x00100000L
#define STANDARD_RIGHTS_REQUIRED 0x000F0000L
#define STANDARD_RIGHTS_READ READ_CONTROL
#define STANDARD_RIGHTS_WRITE READ_CONTROL
#define STANDARD_RIGHTS_ALL 0x001F0000L
#define MAXIMUM_ALLOWED 0x02000000L
#define GENERIC_READ 0x80000000L
#define GENERIC_WRITE 0x40000000L
#define GENERIC_EXECUTE 0x20000000L
#define GENERIC_ALL 0x10000000L

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_NOTIFY 0x0010
#define KEY_CREATE_LINK 0x0020
#define KEY_WOW64_64KEY 0x0100
#define KEY_WOW64_32KEY 0x0200
#define KEY_READ \
  ((STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY) & (~SYNCHRONIZE))
#define KEY_WRITE ((STANDARD_RIGHTS_WRITE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY) & (~SYNCHRONIZE))
#define KEY_EXECUTE ((KEY_READ) & (~SYNCHRONIZE))
#define KEY_ALL_ACCESS                                                           \
  ((STANDARD_RIGHTS_ALL | KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY | \
    KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY | KEY_CREATE_LINK) &                     \
   (~SYNCHRONIZE))

#define REG_OPTION_RESERVED 0x00000000L
#define REG_OPTION_NON_VOLATILE 0x00000000L
#define REG_OPTION_VOLATILE 0x00000001L
#define REG_OPTION_OPEN_LINK 0x00000008L
#define REG_CREATED_NEW_KEY 0x00000001L
#define REG_OPENED_EXISTING_KEY 0x00000002L

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7
#define REG_QWORD 11

// ---- keys --------------------------------------------------------------------------

// Opens `lpSubKey` below hKey, creating it and any missing keys on the way.
// Null or empty lpSubKey opens hKey itself again (as Wine does; Windows
// documents only the empty string). *lpdwDisposition (when not null) gets
// REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY. lpClass, dwOptions and
// lpSecurityAttributes are ignored. ERROR_INVALID_PARAMETER for null
// phkResult (Wine faults there); *phkResult is null on failure.
OLEPORT_API LSTATUS WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved,
                                           LPWSTR lpClass, DWORD dwOptions, REGSAM samDesired,
                                           LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                                           PHKEY phkResult, LPDWORD lpdwDisposition);
// Opens an existing key. Null or empty lpSubKey gives hKey itself when it is
// a predefined key (as on Windows) and a new handle to the same key
// otherwise. ERROR_FILE_NOT_FOUND when the key does not exist;
// ERROR_INVALID_PARAMETER for null phkResult. *phkResult is null on failure.
OLEPORT_API LSTATUS WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions,
                                         REGSAM samDesired, PHKEY phkResult);
// Closes an open key; closing a predefined key does nothing and succeeds (as
// on Windows). ERROR_INVALID_HANDLE for anything else, a key closed before
// included.
OLEPORT_API LSTATUS WINAPI RegCloseKey(HKEY hKey);
// Deletes the key `lpSubKey` below hKey (hKey itself for an empty string),
// with its values. ERROR_ACCESS_DENIED when it has subkeys or is a predefined
// key (as on Windows); ERROR_FILE_NOT_FOUND when missing;
// ERROR_INVALID_PARAMETER for null lpSubKey. Handles still open on it give
// ERROR_KEY_DELETED from then on.
OLEPORT_API LSTATUS WINAPI RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey);
// Deletes `lpSubKey` below hKey with everything below it; null lpSubKey
// deletes every value and subkey of hKey but keeps hKey. ERROR_FILE_NOT_FOUND
// when lpSubKey does not exist.
OLEPORT_API LSTATUS WINAPI RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey);

// ---- values --------------------------------------------------------------------------
// A null or empty value name means the key's default value. Data is stored
// as given, whatever dwType says (a REG_SZ should count its terminating zero,
// as on Windows).

// Stores `cbData` bytes as the value `lpValueName` of type dwType, replacing
// any earlier one. ERROR_NOACCESS for null lpData with cbData above 0 (as on
// Windows); ERROR_INVALID_PARAMETER for a name longer than 16383 units.
OLEPORT_API LSTATUS WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved,
                                          DWORD dwType, const BYTE* lpData, DWORD cbData);
// Reads a value: its type to *lpType and its size in bytes to *lpcbData (each
// when not null), its data to lpData when not null. A buffer smaller than the
// data gives ERROR_MORE_DATA with the size needed in *lpcbData and the buffer
// untouched. A string value stored without its terminating zero gets one
// appended in the buffer when there is room, not counted in *lpcbData (as
// on Windows). ERROR_FILE_NOT_FOUND when there is no such value (a default
// value never set included); ERROR_INVALID_PARAMETER for non-null lpReserved
// or for lpData without lpcbData.
OLEPORT_API LSTATUS WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved,
                                            LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
// Deletes a value. ERROR_FILE_NOT_FOUND when there is none.
OLEPORT_API LSTATUS WINAPI RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName);
