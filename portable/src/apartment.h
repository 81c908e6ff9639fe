// Per-thread apartment membership, as the activation functions check it.
#pragma once

namespace oleport {

// True when the calling thread initialised COM, or may use the process's
// multithreaded apartment implicitly because another thread holds it.
bool current_thread_in_apartment();

}  // namespace oleport
