#include "registration_table.h"

namespace oleport {

DWORD RegistrationTable::add(REFCLSID clsid, IUnknown* object, DWORD contexts, DWORD thread,
                             bool& already) {
  object->AddRef();
  std::lock_guard<std::mutex> hold(mutex_);
  already = false;
  for (const Entry& entry : entries_) already = already || IsEqualCLSID(entry.clsid, clsid);
  const DWORD cookie = next_cookie_++;
  entries_.push_back({cookie, clsid, object, contexts, thread});
  return cookie;
}

IUnknown* RegistrationTable::remove(DWORD cookie) {
  std::lock_guard<std::mutex> hold(mutex_);
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->cookie == cookie) {
      IUnknown* object = it->object;
      entries_.erase(it);
      return object;
    }
  }
  return nullptr;
}

std::vector<IUnknown*> RegistrationTable::remove_registered_by(DWORD thread) {
  std::vector<IUnknown*> removed;
  std::lock_guard<std::mutex> hold(mutex_);
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (it->thread == thread) {
      removed.push_back(it->object);
      it = entries_.erase(it);
    } else {
      ++it;
    }
  }
  return removed;
}

IUnknown* RegistrationTable::find(REFCLSID clsid, DWORD contexts) {
  std::lock_guard<std::mutex> hold(mutex_);
  for (const Entry& entry : entries_) {
    if (IsEqualCLSID(entry.clsid, clsid) && (entry.contexts & contexts) != 0) {
      entry.object->AddRef();
      return entry.object;
    }
  }
  return nullptr;
}

long RegistrationTable::size() {
  std::lock_guard<std::mutex> hold(mutex_);
  return static_cast<long>(entries_.size());
}

void release_all(const std::vector<IUnknown*>& objects) {
  for (IUnknown* object : objects) object->Release();
}

}  // namespace oleport
