// The process-wide table of registered class objects.
#pragma once

#include "oleport.h"

namespace oleport {

// Revokes every class object the thread `thread` registered (its apartment
// is going away).
void revoke_class_objects_of(DWORD thread);

}  // namespace oleport
