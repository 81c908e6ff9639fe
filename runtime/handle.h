// Native pointers carried in a Java long (interface handles, cell addresses,
// variant handles). This is the one place that knows the rule:
//  - on 32-bit builds a pointer goes to Java sign-extended (an address at or
//    above 0x80000000 becomes a negative long) and comes back from the low
//    32 bits of the long;
//  - on 64-bit builds the long holds the whole pointer.
// The rule is written over the address width so that the 32-bit form can be
// tested on a 64-bit host.
#pragma once

#include <jni.h>

#include <cstdint>
#include <type_traits>

template <class Address>
constexpr jlong ov_address_to_handle(Address address) {
  static_assert(std::is_unsigned_v<Address>, "addresses are unsigned");
  // Reinterpreting as the signed type of the same width sign-extends.
  return static_cast<jlong>(static_cast<std::make_signed_t<Address>>(address));
}

template <class Address>
constexpr Address ov_handle_to_address(jlong handle) {
  static_assert(std::is_unsigned_v<Address>, "addresses are unsigned");
  // Unsigned narrowing keeps the low bits.
  return static_cast<Address>(static_cast<std::uint64_t>(handle));
}

inline jlong ov_to_handle(const void* pointer) {
  return ov_address_to_handle(reinterpret_cast<std::uintptr_t>(pointer));
}

template <class T>
T* ov_from_handle(jlong handle) {
  return reinterpret_cast<T*>(ov_handle_to_address<std::uintptr_t>(handle));
}
