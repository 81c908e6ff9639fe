// A VARIANT that is cleared when it goes out of scope.
#pragma once

#include "platform/com_platform.h"

class ScopedVariant {
 public:
  ScopedVariant() { VariantInit(&value_); }
  ~ScopedVariant() { VariantClear(&value_); }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;

  VARIANT* get() { return &value_; }
  const VARIANT* get() const { return &value_; }

  // Moves the content into *dest (which must hold nothing that needs freeing)
  // and leaves this one VT_EMPTY.
  void hand_over(VARIANT* dest) {
    *dest = value_;
    VariantInit(&value_);
  }

 private:
  VARIANT value_;
};
