// The collection sample class: an automation collection in the usual shape
// (Count, Item, _NewEnum) whose enumerator is an IEnumVARIANT, and two
// enumerators that misbehave. See sample_server.h for the members.
#pragma once

#include "platform/com_platform.h"

namespace sample_collection_objects {

// Class-object creator.
HRESULT create_collection(REFIID riid, void** out);

// IEnumVARIANT enumerators of any kind alive now.
long live_enumerators();

}  // namespace sample_collection_objects
