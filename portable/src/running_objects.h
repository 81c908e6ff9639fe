// The process-wide running object table behind RegisterActiveObject.
#pragma once

#include "oleport.h"

namespace oleport {

// Revokes every running object the thread `thread` registered (its apartment
// is going away).
void revoke_running_objects_of(DWORD thread);

}  // namespace oleport
