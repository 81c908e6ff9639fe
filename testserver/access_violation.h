// Raises an access violation (a write through an invalid address) that the
// compiler cannot see through or drop.
#pragma once

void raise_access_violation();
