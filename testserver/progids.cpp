#include "testserver/progids.h"

#include <string>

#include "testserver/sample_server.h"

namespace {

using OleString = std::basic_string<OLECHAR>;

struct SampleProgId {
  const CLSID* clsid;
  const OLECHAR* name;  // version-independent
};

const SampleProgId kProgIds[] = {
    {&CLSID_SampleCounter, OLESTR("Ostrel.SampleCounter")},
    {&CLSID_SampleLocalOnly, OLESTR("Ostrel.SampleLocalOnly")},
    {&CLSID_SampleRunning, OLESTR("Ostrel.SampleRunning")},
    {&CLSID_SampleMoniker, OLESTR("Ostrel.SampleMoniker")},
    {&CLSID_SampleFaultyRelease, OLESTR("Ostrel.SampleFaultyRelease")},
    {&CLSID_SampleAutomation, OLESTR("Ostrel.SampleAutomation")},
    {&CLSID_SampleEventSource, OLESTR("Ostrel.SampleEventSource")},
    {&CLSID_SampleObjectEnumerator, OLESTR("Ostrel.SampleObjectEnumerator")},
    {&CLSID_SampleContainer, OLESTR("Ostrel.SampleContainer")},
    {&CLSID_SampleEmptyContainer, OLESTR("Ostrel.SampleEmptyContainer")},
    {&CLSID_SampleHostileEnumerator, OLESTR("Ostrel.SampleHostileEnumerator")},
    {&CLSID_SampleCollection, OLESTR("Ostrel.SampleCollection")},
};

const OLECHAR kClasses[] = OLESTR("Software\\Classes\\");

OleString versioned(const SampleProgId& progid) {
  return OleString(progid.name) + OLESTR(".1");
}

OleString class_key(const SampleProgId& progid) {
  OLECHAR text[39];
  StringFromGUID2(*progid.clsid, text, 39);
  return OleString(kClasses) + OLESTR("CLSID\\") + text;
}

// Sets the default value of HKEY_CURRENT_USER\`path` to `text`, creating the
// key as needed.
LSTATUS write_default(const OleString& path, const OleString& text) {
  HKEY key = nullptr;
  LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr,
                                   REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return status;
  status = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(OLECHAR)));
  RegCloseKey(key);
  return status;
}

LSTATUS write_entries(const SampleProgId& progid) {
  OLECHAR clsid[39];
  StringFromGUID2(*progid.clsid, clsid, 39);
  const OleString independent = OleString(kClasses) + progid.name;
  const OleString version = versioned(progid);
  const OleString entries[][2] = {
      {OleString(kClasses) + version + OLESTR("\\CLSID"), clsid},
      {independent + OLESTR("\\CLSID"), clsid},
      {independent + OLESTR("\\CurVer"), version},
      {class_key(progid) + OLESTR("\\ProgID"), version},
      {class_key(progid) + OLESTR("\\VersionIndependentProgID"), progid.name},
  };
  for (const OleString(&entry)[2] : entries) {
    const LSTATUS status = write_default(entry[0], entry[1]);
    if (status != ERROR_SUCCESS) return status;
  }
  return ERROR_SUCCESS;
}

}  // namespace

HRESULT register_sample_progids() {
  remove_sample_progids();
  for (const SampleProgId& progid : kProgIds) {
    const LSTATUS status = write_entries(progid);
    if (status != ERROR_SUCCESS) {
      remove_sample_progids();
      return HRESULT_FROM_WIN32(status);
    }
  }
  return S_OK;
}

void remove_sample_progids() {
  for (const SampleProgId& progid : kProgIds) {
    RegDeleteTreeW(HKEY_CURRENT_USER, (OleString(kClasses) + versioned(progid)).c_str());
    RegDeleteTreeW(HKEY_CURRENT_USER, (OleString(kClasses) + progid.name).c_str());
    RegDeleteTreeW(HKEY_CURRENT_USER, class_key(progid).c_str());
  }
}
