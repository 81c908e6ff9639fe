// GUID text form "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX", with or without
// braces.
#pragma once

#include <cstddef>

#include "oleport.h"

namespace oleport {

constexpr std::size_t kGuidDigitsLength = 36;      // without braces
constexpr std::size_t kBracedGuidLength = 36 + 2;  // with braces

// Parses exactly kGuidDigitsLength units (no braces) into `out`.
bool parse_guid_digits(const OLECHAR* text, GUID& out);
// Parses `length` units that are either the bare digits or the braced form.
bool parse_guid(const OLECHAR* text, std::size_t length, GUID& out);

}  // namespace oleport
