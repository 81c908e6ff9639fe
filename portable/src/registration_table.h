// A thread-safe list of COM objects registered under a CLSID and a cookie:
// the storage of both the class table and the running object table.
#pragma once

#include <mutex>
#include <vector>

#include "oleport.h"

namespace oleport {

class RegistrationTable {
 public:
  RegistrationTable() = default;
  RegistrationTable(const RegistrationTable&) = delete;
  RegistrationTable& operator=(const RegistrationTable&) = delete;

  // AddRefs `object` and files it; returns the new cookie. `already` tells
  // whether `clsid` had an entry before.
  DWORD add(REFCLSID clsid, IUnknown* object, DWORD contexts, DWORD thread, bool& already);
  // Removes the entry of `cookie` and hands over its reference; null when
  // there is none.
  IUnknown* remove(DWORD cookie);
  // Removes every entry `thread` registered and hands over their references.
  std::vector<IUnknown*> remove_registered_by(DWORD thread);
  // The earliest entry of `clsid` sharing a bit with `contexts`, AddRef'd;
  // null when none.
  IUnknown* find(REFCLSID clsid, DWORD contexts);
  long size();

 private:
  struct Entry {
    DWORD cookie;
    CLSID clsid;
    IUnknown* object;
    DWORD contexts;
    DWORD thread;
  };

  std::mutex mutex_;
  std::vector<Entry> entries_;
  DWORD next_cookie_ = 1;
};

// Releases the references handed over by the remove functions.
void release_all(const std::vector<IUnknown*>& objects);

}  // namespace oleport
