// Test accounting of the portable runtime: live object and open key counts
// and control over the answers of dialogs that have no window here.
#pragma once

#include <stddef.h>

#define OLEPORT_TESTING_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

// BSTRs allocated and not yet freed.
OLEPORT_TESTING_API long oleport_live_bstr_count(void);
// SAFEARRAY descriptors allocated and not yet destroyed.
OLEPORT_TESTING_API long oleport_live_safearray_count(void);
// SAFEARRAY descriptors allocated since the process started (creations and
// copies alike): the difference over an operation is how many arrays it made.
OLEPORT_TESTING_API long oleport_created_safearray_count(void);
// CoTaskMemAlloc blocks allocated and not yet freed.
OLEPORT_TESTING_API long oleport_live_task_memory_count(void);
// Entries in the process-wide class table.
OLEPORT_TESTING_API long oleport_registered_class_count(void);
// Entries in the running object table.
OLEPORT_TESTING_API long oleport_running_object_count(void);
// Registry keys open (HKEYs not yet closed; predefined keys do not count).
OLEPORT_TESTING_API long oleport_open_key_count(void);

// Empties the in-memory URL history that CLSID_CUrlHistory objects share
// (ClearHistory does the same through the interface).
OLEPORT_TESTING_API void oleport_clear_url_history(void);
// Entries in that URL history.
OLEPORT_TESTING_API long oleport_url_history_count(void);

// Makes every following MessageBoxW return `answer` (an ID* value) without
// looking at its style; 0 restores the default-button behaviour.
OLEPORT_TESTING_API void oleport_set_message_box_answer(int answer);
// Number of MessageBoxW calls so far.
OLEPORT_TESTING_API long oleport_message_box_count(void);
// Copies the last "caption: text" line (UTF-8, no newline) into `buffer`,
// truncated and terminated to `size`; returns the full length in bytes.
OLEPORT_TESTING_API size_t oleport_last_message_box(char* buffer, size_t size);

#ifdef __cplusplus
}
#endif
