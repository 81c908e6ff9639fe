// The registry functions COM registrations use: keys created, opened, closed
// and deleted, string and default values, the error codes, and the merged
// view of HKEY_CLASSES_ROOT. Every case works below keys of its own and
// removes them, also when a run before it left them behind (under Wine the
// registry outlives the run).
#include <cstring>

#include "platform_accounting.h"
#include "registry_keys.h"

namespace conformance {
namespace {

const OLECHAR kScratch[] = OLESTR("Software\\OstrelConformance");

class RegistryTest : public LeakCheckedTest {
 protected:
  void SetUp() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kScratch, 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, scratch_.put(), &disposition_),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    scratch_.reset();
    EXPECT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, kScratch), ERROR_SUCCESS);
  }

  LSTATUS create(const OLECHAR* path, ScopedKey& key, DWORD* disposition = nullptr,
                 REGSAM access = KEY_ALL_ACCESS) {
    return RegCreateKeyExW(scratch_.get(), path, 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                           nullptr, key.put(), disposition);
  }
  LSTATUS open(const OLECHAR* path, ScopedKey& key, REGSAM access = KEY_ALL_ACCESS) {
    return RegOpenKeyExW(scratch_.get(), path, 0, access, key.put());
  }

  ScopedKey scratch_;
  DWORD disposition_ = 0;
};

TEST_F(RegistryTest, KeysAreCreatedOpenedAndDeleted) {
  EXPECT_EQ(disposition_, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  ScopedKey key;
  DWORD disposition = 0;
  ASSERT_EQ(create(OLESTR("Parent\\Child"), key, &disposition), ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY)) << "with its parent";
  ASSERT_EQ(create(OLESTR("Parent\\Child"), key, &disposition), ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  key.reset();

  struct Case {
    const char* what;
    LSTATUS actual;
    LSTATUS expected;
  };
  ScopedKey opened;
  const OleString too_long(300, OLECHAR{'k'});  // Windows allows 255 units, Wine 256
  const Case cases[] = {
      {"create a name too long", create(too_long.c_str(), opened), ERROR_INVALID_PARAMETER},
      {"open ignoring case", open(OLESTR("pARENT\\child"), opened), ERROR_SUCCESS},
      {"open a missing key", open(OLESTR("Parent\\Missing"), opened), ERROR_FILE_NOT_FOUND},
      {"open with a leading backslash", open(OLESTR("\\Parent"), opened), ERROR_BAD_PATHNAME},
      {"delete a key with subkeys", RegDeleteKeyW(scratch_.get(), OLESTR("Parent")),
       ERROR_ACCESS_DENIED},
      {"delete a leaf", RegDeleteKeyW(scratch_.get(), OLESTR("Parent\\Child")), ERROR_SUCCESS},
      {"delete it again", RegDeleteKeyW(scratch_.get(), OLESTR("Parent\\Child")),
       ERROR_FILE_NOT_FOUND},
      {"delete the parent, now a leaf", RegDeleteKeyW(scratch_.get(), OLESTR("Parent")),
       ERROR_SUCCESS},
      {"open the deleted parent", open(OLESTR("Parent"), opened), ERROR_FILE_NOT_FOUND},
      {"delete a missing tree", RegDeleteTreeW(scratch_.get(), OLESTR("Parent")),
       ERROR_FILE_NOT_FOUND},
  };
  for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected) << c.what;
  EXPECT_EQ(opened.get(), nullptr) << "a failed open leaves no key";
}

TEST_F(RegistryTest, DeletingATreeTakesEverythingBelow) {
  ScopedKey key;
  ASSERT_EQ(write_string(scratch_.get(), OLESTR("Tree\\A\\B"), OLESTR("Value"), OLESTR("b")),
            ERROR_SUCCESS);
  ASSERT_EQ(write_string(scratch_.get(), OLESTR("Tree"), nullptr, OLESTR("tree")), ERROR_SUCCESS);
  ASSERT_EQ(open(OLESTR("Tree"), key), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteTreeW(key.get(), nullptr), ERROR_SUCCESS) << "empties the key, keeps it";
  OleString text;
  EXPECT_EQ(read_string(key.get(), nullptr, nullptr, text), ERROR_FILE_NOT_FOUND);
  ScopedKey below;
  EXPECT_EQ(RegOpenKeyExW(key.get(), OLESTR("A"), 0, KEY_READ, below.put()), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(write_string(key.get(), OLESTR("A\\B"), nullptr, OLESTR("again")), ERROR_SUCCESS);
  key.reset();
  EXPECT_EQ(RegDeleteTreeW(scratch_.get(), OLESTR("Tree")), ERROR_SUCCESS);
  EXPECT_EQ(open(OLESTR("Tree"), key), ERROR_FILE_NOT_FOUND) << "takes the key itself";
}

TEST_F(RegistryTest, StringAndDefaultValues) {
  const OLECHAR text[] = OLESTR("Some.ProgId");
  const DWORD bytes = sizeof text;
  ASSERT_EQ(RegSetValueExW(scratch_.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                           bytes),
            ERROR_SUCCESS);
  ASSERT_EQ(
      RegSetValueExW(scratch_.get(), OLESTR("Named"), 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(OLESTR("named")), string_bytes(OLESTR("named"))),
      ERROR_SUCCESS);

  DWORD type = REG_NONE;
  DWORD size = 0;
  ASSERT_EQ(RegQueryValueExW(scratch_.get(), OLESTR(""), nullptr, &type, nullptr, &size),
            ERROR_SUCCESS)
      << "an empty name is the default value too";
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, bytes);

  OLECHAR buffer[32];
  std::memset(buffer, 0x55, sizeof buffer);
  size = bytes - 1;
  EXPECT_EQ(RegQueryValueExW(scratch_.get(), nullptr, nullptr, &type,
                             reinterpret_cast<BYTE*>(buffer), &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, bytes) << "the size needed";
  EXPECT_EQ(buffer[0], static_cast<OLECHAR>(0x5555)) << "a small buffer is left alone";
  size = sizeof buffer;
  ASSERT_EQ(RegQueryValueExW(scratch_.get(), nullptr, nullptr, &type,
                             reinterpret_cast<BYTE*>(buffer), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(size, bytes);
  EXPECT_EQ(OleString(buffer), OleString(text));

  OleString named;
  EXPECT_EQ(read_string(scratch_.get(), nullptr, OLESTR("NAMED"), named), ERROR_SUCCESS)
      << "value names ignore case";
  EXPECT_EQ(named, OleString(OLESTR("named")));

  ScopedKey fresh;
  ASSERT_EQ(create(OLESTR("Fresh"), fresh), ERROR_SUCCESS);
  const OleString too_long_name(16384, OLECHAR{'v'});
  struct Case {
    const char* what;
    LSTATUS actual;
    LSTATUS expected;
  };
  const Case cases[] = {
      {"a default value never set",
       RegQueryValueExW(fresh.get(), nullptr, nullptr, &type, nullptr, &size),
       ERROR_FILE_NOT_FOUND},
      {"a missing value",
       RegQueryValueExW(scratch_.get(), OLESTR("Missing"), nullptr, &type, nullptr, &size),
       ERROR_FILE_NOT_FOUND},
      {"data without its size",
       RegQueryValueExW(scratch_.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                        nullptr),
       ERROR_INVALID_PARAMETER},
      {"a size without data", RegSetValueExW(scratch_.get(), OLESTR("Null"), 0, REG_SZ, nullptr, 4),
       ERROR_NOACCESS},
      {"a value name past 16383 units",
       RegSetValueExW(scratch_.get(), too_long_name.c_str(), 0, REG_SZ,
                      reinterpret_cast<const BYTE*>(text), bytes),
       ERROR_INVALID_PARAMETER},
      {"reserved not null", RegQueryValueExW(scratch_.get(), nullptr, &size, &type, nullptr, &size),
       ERROR_INVALID_PARAMETER},
      {"delete a value", RegDeleteValueW(scratch_.get(), OLESTR("named")), ERROR_SUCCESS},
      {"read it after",
       RegQueryValueExW(scratch_.get(), OLESTR("Named"), nullptr, &type, nullptr, &size),
       ERROR_FILE_NOT_FOUND},
      {"delete it again", RegDeleteValueW(scratch_.get(), OLESTR("Named")), ERROR_FILE_NOT_FOUND},
  };
  for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected) << c.what;
}

TEST_F(RegistryTest, ClosedDeletedAndReadOnlyKeysAreRefused) {
  ScopedKey doomed;
  ASSERT_EQ(create(OLESTR("Doomed"), doomed), ERROR_SUCCESS);
  ScopedKey read_only;
  ASSERT_EQ(open(OLESTR("Doomed"), read_only, KEY_READ), ERROR_SUCCESS);
  HKEY closed = nullptr;
  ASSERT_EQ(RegOpenKeyExW(scratch_.get(), OLESTR("Doomed"), 0, KEY_READ, &closed), ERROR_SUCCESS);
  ASSERT_EQ(RegCloseKey(closed), ERROR_SUCCESS);
  const BYTE data[] = {1, 0, 0, 0};
  HKEY unused = nullptr;
  DWORD size = 0;
  ScopedKey below;

  struct Case {
    const char* what;
    LSTATUS actual;
    LSTATUS expected;
  };
  // The closed key comes first: the platform may hand its number out again.
  const Case cases[] = {
      {"close a closed key", RegCloseKey(closed), ERROR_INVALID_HANDLE},
      {"open below a closed key", RegOpenKeyExW(closed, OLESTR("x"), 0, KEY_READ, &unused),
       ERROR_INVALID_HANDLE},
      {"query a closed key", RegQueryValueExW(closed, nullptr, nullptr, nullptr, nullptr, &size),
       ERROR_INVALID_HANDLE},
      {"write through a read-only key",
       RegSetValueExW(read_only.get(), OLESTR("x"), 0, REG_DWORD, data, sizeof data),
       ERROR_ACCESS_DENIED},
      {"delete a value through a read-only key", RegDeleteValueW(read_only.get(), OLESTR("x")),
       ERROR_ACCESS_DENIED},
      {"open without a result",
       RegOpenKeyExW(scratch_.get(), OLESTR("Doomed"), 0, KEY_READ, nullptr),
       ERROR_INVALID_PARAMETER},
      {"close a predefined key", RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS},
      {"delete a key still open", RegDeleteKeyW(scratch_.get(), OLESTR("Doomed")), ERROR_SUCCESS},
      {"write to the deleted key",
       RegSetValueExW(doomed.get(), OLESTR("x"), 0, REG_DWORD, data, sizeof data),
       ERROR_KEY_DELETED},
      {"read the deleted key",
       RegQueryValueExW(doomed.get(), OLESTR("x"), nullptr, nullptr, nullptr, &size),
       ERROR_KEY_DELETED},
      {"create below the deleted key",
       RegCreateKeyExW(doomed.get(), OLESTR("Below"), 0, nullptr, REG_OPTION_NON_VOLATILE,
                       KEY_ALL_ACCESS, nullptr, below.put(), nullptr),
       ERROR_KEY_DELETED},
  };
  for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected) << c.what;
  EXPECT_EQ(unused, nullptr);
  EXPECT_EQ(below.get(), nullptr);

  HKEY same = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, nullptr, 0, KEY_READ, &same), ERROR_SUCCESS);
  EXPECT_EQ(same, HKEY_CURRENT_USER) << "a predefined key opens as itself";
}

// The key of the HKEY_CLASSES_ROOT cases, as the view names it and as the
// user's and the machine's Software\Classes hold it.
const OLECHAR kMergedKey[] = OLESTR("Ostrel.Conformance.Merged");
const OLECHAR kClassesMergedKey[] = OLESTR("Software\\Classes\\Ostrel.Conformance.Merged");

class ClassesRootTest : public LeakCheckedTest {
 protected:
  void SetUp() override { remove(); }
  void TearDown() override { remove(); }
  static void remove() {
    RegDeleteTreeW(HKEY_CURRENT_USER, kClassesMergedKey);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kClassesMergedKey);
  }
};

// Writing a new key under HKEY_CLASSES_ROOT needs the rights to write the
// machine's classes on Windows (an administrator).
TEST_F(ClassesRootTest, NewKeysGoToTheMachineClasses) {
  ASSERT_EQ(write_string(HKEY_CLASSES_ROOT, kMergedKey, nullptr, OLESTR("machine")), ERROR_SUCCESS);
  OleString text;
  EXPECT_EQ(read_string(HKEY_LOCAL_MACHINE, kClassesMergedKey, nullptr, text), ERROR_SUCCESS);
  EXPECT_EQ(text, OleString(OLESTR("machine")));
  EXPECT_EQ(read_string(HKEY_CURRENT_USER, kClassesMergedKey, nullptr, text), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteTreeW(HKEY_CLASSES_ROOT, kMergedKey), ERROR_SUCCESS);
  EXPECT_EQ(read_string(HKEY_LOCAL_MACHINE, kClassesMergedKey, nullptr, text),
            ERROR_FILE_NOT_FOUND);
}

TEST_F(ClassesRootTest, PerUserEntriesComeFirst) {
  if (running_under_wine()) {
    GTEST_SKIP() << "Wine leaves HKEY_CURRENT_USER\\Software\\Classes out of HKEY_CLASSES_ROOT";
  }
  ASSERT_EQ(write_string(HKEY_LOCAL_MACHINE,
                         OLESTR("Software\\Classes\\Ostrel.Conformance.Merged\\MachineOnly"),
                         nullptr, OLESTR("m")),
            ERROR_SUCCESS);
  ASSERT_EQ(write_string(HKEY_LOCAL_MACHINE, kClassesMergedKey, nullptr, OLESTR("machine")),
            ERROR_SUCCESS);
  OleString text;
  ASSERT_EQ(read_string(HKEY_CLASSES_ROOT, kMergedKey, nullptr, text), ERROR_SUCCESS);
  EXPECT_EQ(text, OleString(OLESTR("machine"))) << "only the machine has it";

  ASSERT_EQ(write_string(HKEY_CURRENT_USER,
                         OLESTR("Software\\Classes\\Ostrel.Conformance.Merged\\UserOnly"), nullptr,
                         OLESTR("u")),
            ERROR_SUCCESS);
  ASSERT_EQ(write_string(HKEY_CURRENT_USER, kClassesMergedKey, nullptr, OLESTR("user")),
            ERROR_SUCCESS);
  ASSERT_EQ(read_string(HKEY_CLASSES_ROOT, kMergedKey, nullptr, text), ERROR_SUCCESS);
  EXPECT_EQ(text, OleString(OLESTR("user"))) << "the user's entry wins";
  for (const OLECHAR* subkey : {OLESTR("Ostrel.Conformance.Merged\\MachineOnly"),
                                OLESTR("Ostrel.Conformance.Merged\\UserOnly")}) {
    EXPECT_EQ(read_string(HKEY_CLASSES_ROOT, subkey, nullptr, text), ERROR_SUCCESS)
        << "the view shows the subkeys of both";
  }

  ASSERT_EQ(write_string(HKEY_CLASSES_ROOT, kMergedKey, OLESTR("Written"), OLESTR("w")),
            ERROR_SUCCESS);
  EXPECT_EQ(read_string(HKEY_CURRENT_USER, kClassesMergedKey, OLESTR("Written"), text),
            ERROR_SUCCESS)
      << "values go to the key the view shows";
  EXPECT_EQ(read_string(HKEY_LOCAL_MACHINE, kClassesMergedKey, OLESTR("Written"), text),
            ERROR_FILE_NOT_FOUND);

  ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, kClassesMergedKey), ERROR_SUCCESS);
  ASSERT_EQ(read_string(HKEY_CLASSES_ROOT, kMergedKey, nullptr, text), ERROR_SUCCESS);
  EXPECT_EQ(text, OleString(OLESTR("machine"))) << "the machine's entry is back in view";
}

}  // namespace
}  // namespace conformance
