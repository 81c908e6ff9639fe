// ProgIDs: CLSIDFromProgID and ProgIDFromCLSID, CLSIDFromString taking a
// ProgID, "new:ProgID" display names and the error codes of unknown ones.
// Each case runs with the registration in the machine's classes (written
// through HKEY_CLASSES_ROOT, which on Windows needs an administrator) and in
// the current user's HKEY_CURRENT_USER\Software\Classes, and removes it
// again, also when a run before it left it behind (under Wine the registry
// outlives the run).
#include "fake_objects.h"
#include "platform_accounting.h"
#include "registry_keys.h"

namespace conformance {
namespace {

const OLECHAR kProgId[] = OLESTR("Ostrel.Conformance.1");
const OLECHAR kIndependentProgId[] = OLESTR("Ostrel.Conformance");
const OLECHAR kTestClassText[] = OLESTR("{1C2B3A4D-1111-2222-3333-444455556666}");

struct Hive {
  const char* name;
  HKEY root;
  const OLECHAR* classes;  // the classes key below root, with its backslash
};

const Hive kMachine = {"machine", HKEY_CLASSES_ROOT, OLESTR("")};
const Hive kUser = {"user", HKEY_CURRENT_USER, OLESTR("Software\\Classes\\")};

// The keys written below the classes key of a hive, with their default
// values.
struct Entry {
  const OLECHAR* key;
  const OLECHAR* value;
};
const Entry kEntries[] = {
    {OLESTR("Ostrel.Conformance.1\\CLSID"), kTestClassText},
    {OLESTR("Ostrel.Conformance\\CLSID"), kTestClassText},
    {OLESTR("Ostrel.Conformance\\CurVer"), kProgId},
    {OLESTR("Ostrel.Conformance.BadClass\\CLSID"), OLESTR("not a class id")},
    {OLESTR("CLSID\\{1C2B3A4D-1111-2222-3333-444455556666}\\ProgID"), kProgId},
    {OLESTR("CLSID\\{1C2B3A4D-1111-2222-3333-444455556666}\\VersionIndependentProgID"),
     kIndependentProgId},
};
// The keys removed, with everything below them.
const OLECHAR* const kRemoved[] = {
    OLESTR("Ostrel.Conformance.1"),
    OLESTR("Ostrel.Conformance"),
    OLESTR("Ostrel.Conformance.BadClass"),
    OLESTR("CLSID\\{1C2B3A4D-1111-2222-3333-444455556666}"),
};

// A class id registered nowhere, with no ProgID.
const CLSID kUnregisteredClass = {
    0x1c2b3a4d, 0x1111, 0x2222, {0x33, 0x33, 0x44, 0x44, 0x55, 0x55, 0x66, 0x67}};

class ProgIdTest : public LeakCheckedTest, public testing::WithParamInterface<const Hive*> {
 protected:
  void SetUp() override {
    if (GetParam() == &kUser && running_under_wine()) {
      GTEST_SKIP() << "Wine leaves HKEY_CURRENT_USER\\Software\\Classes out of HKEY_CLASSES_ROOT";
    }
    remove_registration();
    for (const Entry& entry : kEntries) {
      ASSERT_EQ(write_string(GetParam()->root, in_hive(entry.key).c_str(), nullptr, entry.value),
                ERROR_SUCCESS);
    }
  }
  void TearDown() override { remove_registration(); }

  static OleString in_hive(const OLECHAR* key) { return OleString(GetParam()->classes) + key; }
  static void remove_registration() {
    for (const OLECHAR* key : kRemoved) RegDeleteTreeW(GetParam()->root, in_hive(key).c_str());
  }
};

TEST_P(ProgIdTest, ProgIdsAndClassesMapBothWays) {
  // The version-independent ProgID resolves through its own CLSID key.
  const OLECHAR* names[] = {kProgId, OLESTR("oSTREL.cONFORMANCE.1"), kIndependentProgId,
                            OLESTR("OSTREL.CONFORMANCE")};
  for (const OLECHAR* const& name : names) {
    SCOPED_TRACE(testing::Message() << "name " << (&name - names));
    CLSID clsid = GUID_NULL;
    EXPECT_EQ(CLSIDFromProgID(name, &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, kTestClass));
    clsid = GUID_NULL;
    EXPECT_EQ(CLSIDFromString(name, &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, kTestClass));
  }
  LPOLESTR progid = nullptr;
  ASSERT_EQ(ProgIDFromCLSID(kTestClass, &progid), S_OK);
  EXPECT_EQ(OleString(progid), OleString(kProgId)) << "the versioned ProgID";
  CoTaskMemFree(progid);
}

TEST_P(ProgIdTest, UnknownProgIdsAreRefused) {
  struct Case {
    const OLECHAR* text;
    HRESULT from_progid;
    HRESULT from_string;
  };
  const Case cases[] = {
      {OLESTR("Ostrel.Conformance.Missing"), CO_E_CLASSSTRING, CO_E_CLASSSTRING},
      {OLESTR("Ostrel.Conformance.BadClass"), CO_E_CLASSSTRING, CO_E_CLASSSTRING},
      {OLESTR("Ostrel.Conformance.1 "), CO_E_CLASSSTRING, CO_E_CLASSSTRING},
      {OLESTR(""), CO_E_CLASSSTRING, CO_E_CLASSSTRING},
      // A class id string is no ProgID, though CLSIDFromString parses it.
      {kTestClassText, CO_E_CLASSSTRING, S_OK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
    CLSID clsid = kTestClass;
    EXPECT_EQ(CLSIDFromProgID(c.text, &clsid), c.from_progid);
    EXPECT_TRUE(IsEqualCLSID(clsid, GUID_NULL)) << "zeroed on failure";
    EXPECT_EQ(CLSIDFromString(c.text, &clsid), c.from_string);
  }
  CLSID clsid;
  EXPECT_EQ(CLSIDFromProgID(nullptr, &clsid), E_INVALIDARG);
  EXPECT_EQ(CLSIDFromProgID(kProgId, nullptr), E_INVALIDARG);

  OLECHAR sentinel[] = OLESTR("sentinel");
  LPOLESTR progid = sentinel;
  EXPECT_EQ(ProgIDFromCLSID(kUnregisteredClass, &progid), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(progid, nullptr);
  EXPECT_EQ(ProgIDFromCLSID(kTestClass, nullptr), E_INVALIDARG);
}

TEST_P(ProgIdTest, NewMonikerCreatesByProgId) {
  ApartmentScope apartment;
  const OLECHAR* names[] = {OLESTR("new:Ostrel.Conformance.1"), OLESTR("NEW:ostrel.conformance")};
  {
    CountingFactory factory;
    ClassRegistration registration(kTestClass, &factory, CLSCTX_INPROC_SERVER);
    for (const OLECHAR* const& name : names) {
      SCOPED_TRACE(testing::Message() << "name " << (&name - names));
      const int created = factory.instances_created();
      IUnknown* object = nullptr;
      ASSERT_EQ(CoGetObject(name, nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)), S_OK);
      EXPECT_EQ(object, factory.instance());
      EXPECT_EQ(factory.instances_created(), created + 1);
      object->Release();
      void* wrong = nullptr;
      EXPECT_EQ(CoGetObject(name, nullptr, IID_IDispatch, &wrong), E_NOINTERFACE);
      EXPECT_EQ(wrong, nullptr);
    }
  }
  void* out = nullptr;
  EXPECT_EQ(CoGetObject(names[0], nullptr, IID_IUnknown, &out), REGDB_E_CLASSNOTREG)
      << "a ProgID whose class has no class object";
}

INSTANTIATE_TEST_SUITE_P(Hives, ProgIdTest, testing::Values(&kMachine, &kUser),
                         [](const testing::TestParamInfo<const Hive*>& hive) {
                           return std::string(hive.param->name);
                         });

}  // namespace
}  // namespace conformance
