// The enumerator and container sample classes: an IEnumUnknown over a fixed
// set of Counter objects, a container whose EnumObjects hands one out (and
// one that answers S_FALSE), and an enumerator that reports more elements
// than it was asked for. See sample_server.h for the classes' behaviour.
#pragma once

#include "platform/com_platform.h"

namespace sample_enum {

// Class-object creators.
HRESULT create_enumerator(REFIID riid, void** out);
HRESULT create_container(REFIID riid, void** out);
HRESULT create_empty_container(REFIID riid, void** out);
HRESULT create_hostile_enumerator(REFIID riid, void** out);

// What the containers last received (see sample_server.h).
DWORD last_flags();
LONG last_lock();
LONG lock_count();

}  // namespace sample_enum
