// Names that code written for Windows uses, with the values Windows gives
// them. The same table compiles against the Windows headers and against the
// portable runtime, so a name missing on either side fails the build and a
// wrong value fails the case.
#include <cstdint>

#include "platform_accounting.h"

namespace conformance {
namespace {

struct Constant {
  const char* name;
  std::uint32_t actual;
  std::uint32_t expected;
};
#define OSTREL_CONSTANT(name, value)                 \
  Constant {                                         \
#name, static_cast < std::uint32_t>(name), value \
  }

TEST(ConstantsTest, CodesAndFlagsHaveTheirWindowsValues) {
  const Constant constants[] = {
      OSTREL_CONSTANT(MK_E_CONNECTMANUALLY, 0x800401E0u),
      OSTREL_CONSTANT(MK_E_EXCEEDEDDEADLINE, 0x800401E1u),
      OSTREL_CONSTANT(MK_E_NEEDGENERIC, 0x800401E2u),
      OSTREL_CONSTANT(MK_E_UNAVAILABLE, 0x800401E3u),
      OSTREL_CONSTANT(MK_E_SYNTAX, 0x800401E4u),
      OSTREL_CONSTANT(MK_E_NOOBJECT, 0x800401E5u),
      OSTREL_CONSTANT(MK_E_INVALIDEXTENSION, 0x800401E6u),
      OSTREL_CONSTANT(MK_E_INTERMEDIATEINTERFACENOTSUPPORTED, 0x800401E7u),
      OSTREL_CONSTANT(MK_E_NOTBINDABLE, 0x800401E8u),
      OSTREL_CONSTANT(MK_E_NOTBOUND, 0x800401E9u),
      OSTREL_CONSTANT(MK_E_CANTOPENFILE, 0x800401EAu),
      OSTREL_CONSTANT(MK_E_MUSTBOTHERUSER, 0x800401EBu),
      OSTREL_CONSTANT(MK_E_NOINVERSE, 0x800401ECu),
      OSTREL_CONSTANT(MK_E_NOSTORAGE, 0x800401EDu),
      OSTREL_CONSTANT(MK_E_NOPREFIX, 0x800401EEu),
      OSTREL_CONSTANT(MK_E_ENUMERATION_FAILED, 0x800401EFu),
      OSTREL_CONSTANT(MK_S_REDUCED_TO_SELF, 0x000401E2u),
      OSTREL_CONSTANT(MK_S_ME, 0x000401E4u),
      OSTREL_CONSTANT(MK_S_HIM, 0x000401E5u),
      OSTREL_CONSTANT(MK_S_US, 0x000401E6u),
      OSTREL_CONSTANT(MK_S_MONIKERALREADYREGISTERED, 0x000401E7u),
      OSTREL_CONSTANT(CO_E_NOTINITIALIZED, 0x800401F0u),
      OSTREL_CONSTANT(CO_E_ALREADYINITIALIZED, 0x800401F1u),
      OSTREL_CONSTANT(CO_E_CANTDETERMINECLASS, 0x800401F2u),
      OSTREL_CONSTANT(CO_E_CLASSSTRING, 0x800401F3u),
      OSTREL_CONSTANT(CO_E_IIDSTRING, 0x800401F4u),
      OSTREL_CONSTANT(CO_E_APPNOTFOUND, 0x800401F5u),
      OSTREL_CONSTANT(CO_E_APPSINGLEUSE, 0x800401F6u),
      OSTREL_CONSTANT(CO_E_ERRORINAPP, 0x800401F7u),
      OSTREL_CONSTANT(CO_E_DLLNOTFOUND, 0x800401F8u),
      OSTREL_CONSTANT(CO_E_ERRORINDLL, 0x800401F9u),
      OSTREL_CONSTANT(CO_E_WRONGOSFORAPP, 0x800401FAu),
      OSTREL_CONSTANT(CO_E_OBJNOTREG, 0x800401FBu),
      OSTREL_CONSTANT(CO_E_OBJISREG, 0x800401FCu),
      OSTREL_CONSTANT(CO_E_OBJNOTCONNECTED, 0x800401FDu),
      OSTREL_CONSTANT(CO_E_APPDIDNTREG, 0x800401FEu),
      OSTREL_CONSTANT(CO_E_RELEASED, 0x800401FFu),
      OSTREL_CONSTANT(CO_E_NOT_SUPPORTED, 0x80004021u),
      OSTREL_CONSTANT(CO_E_CLASS_CREATE_FAILED, 0x80080001u),
      OSTREL_CONSTANT(CO_E_SCM_ERROR, 0x80080002u),
      OSTREL_CONSTANT(CO_E_SCM_RPC_FAILURE, 0x80080003u),
      OSTREL_CONSTANT(CO_E_BAD_PATH, 0x80080004u),
      OSTREL_CONSTANT(CO_E_SERVER_EXEC_FAILURE, 0x80080005u),
      OSTREL_CONSTANT(CO_E_OBJSRV_RPC_FAILURE, 0x80080006u),
      OSTREL_CONSTANT(CO_E_SERVER_STOPPING, 0x80080008u),
      OSTREL_CONSTANT(CO_S_NOTALLINTERFACES, 0x00080012u),
      OSTREL_CONSTANT(CLASS_E_NOTLICENSED, 0x80040112u),
      OSTREL_CONSTANT(REGDB_E_READREGDB, 0x80040150u),
      OSTREL_CONSTANT(REGDB_E_WRITEREGDB, 0x80040151u),
      OSTREL_CONSTANT(REGDB_E_KEYMISSING, 0x80040152u),
      OSTREL_CONSTANT(REGDB_E_INVALIDVALUE, 0x80040153u),
      OSTREL_CONSTANT(REGDB_E_CLASSNOTREG, 0x80040154u),
      OSTREL_CONSTANT(REGDB_E_IIDNOTREG, 0x80040155u),
      OSTREL_CONSTANT(REGDB_E_BADTHREADINGMODEL, 0x80040156u),
      OSTREL_CONSTANT(RPC_E_CALL_REJECTED, 0x80010001u),
      OSTREL_CONSTANT(RPC_E_SERVERFAULT, 0x80010105u),
      OSTREL_CONSTANT(RPC_E_SERVERCALL_RETRYLATER, 0x8001010Au),
      OSTREL_CONSTANT(ERROR_PATH_NOT_FOUND, 3u),
      OSTREL_CONSTANT(ERROR_INSUFFICIENT_BUFFER, 122u),
      OSTREL_CONSTANT(ERROR_BAD_PATHNAME, 161u),
      OSTREL_CONSTANT(ERROR_MORE_DATA, 234u),
      OSTREL_CONSTANT(ERROR_NO_MORE_ITEMS, 259u),
      OSTREL_CONSTANT(ERROR_NOACCESS, 998u),
      OSTREL_CONSTANT(ERROR_BADKEY, 1010u),
      OSTREL_CONSTANT(ERROR_KEY_DELETED, 1018u),
      OSTREL_CONSTANT(ERROR_KEY_HAS_CHILDREN, 1020u),
      OSTREL_CONSTANT(KEY_QUERY_VALUE, 0x0001u),
      OSTREL_CONSTANT(KEY_SET_VALUE, 0x0002u),
      OSTREL_CONSTANT(KEY_CREATE_SUB_KEY, 0x0004u),
      OSTREL_CONSTANT(KEY_READ, 0x20019u),
      OSTREL_CONSTANT(KEY_WRITE, 0x20006u),
      OSTREL_CONSTANT(KEY_ALL_ACCESS, 0xF003Fu),
      OSTREL_CONSTANT(MAXIMUM_ALLOWED, 0x02000000u),
      OSTREL_CONSTANT(GENERIC_READ, 0x80000000u),
      OSTREL_CONSTANT(REG_SZ, 1u),
      OSTREL_CONSTANT(REG_DWORD, 4u),
      OSTREL_CONSTANT(REG_CREATED_NEW_KEY, 1u),
      OSTREL_CONSTANT(REG_OPENED_EXISTING_KEY, 2u),
  };
  for (const Constant& c : constants) {
    EXPECT_EQ(c.actual, c.expected) << c.name << " = 0x" << std::hex << c.actual;
  }
}

#undef OSTREL_CONSTANT

TEST(ConstantsTest, PredefinedKeysAreSignExtended) {
  struct Key {
    const char* name;
    HKEY actual;
    std::int32_t expected;
  };
  const Key keys[] = {
      {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT, static_cast<std::int32_t>(0x80000000u)},
      {"HKEY_CURRENT_USER", HKEY_CURRENT_USER, static_cast<std::int32_t>(0x80000001u)},
      {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE, static_cast<std::int32_t>(0x80000002u)},
  };
  for (const Key& k : keys) {
    EXPECT_EQ(reinterpret_cast<std::intptr_t>(k.actual), std::intptr_t{k.expected}) << k.name;
  }
}

// Declared and defined with the method macros of <objbase.h>: a class that
// spells its methods the Windows way builds against either platform.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
DECLARE_INTERFACE_(ISpelledOut, IUnknown) {
  STDMETHOD(Answer)(THIS_ LONG question, LONG * value) PURE;
  STDMETHOD_(ULONG, Count)(THIS) PURE;
};

class SpelledOut final : public ISpelledOut {
 public:
  IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    *ppv = IsEqualIID(riid, IID_IUnknown) ? this : nullptr;
    return *ppv != nullptr ? S_OK : E_NOINTERFACE;
  }
  IFACEMETHODIMP_(ULONG) AddRef() override { return 2; }
  IFACEMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP Answer(LONG question, LONG* value) override;
  STDMETHODIMP_(ULONG) Count() override;
};
#pragma GCC diagnostic pop

STDMETHODIMP SpelledOut::Answer(LONG question, LONG* value) {
  UNREFERENCED_PARAMETER(question);
  *value = 42;
  return S_OK;
}

STDMETHODIMP_(ULONG) SpelledOut::Count() {
  return 7;
}

TEST(ConstantsTest, MethodMacrosDeclareCallableMethods) {
  SpelledOut object;
  ISpelledOut* spelled = &object;
  LONG value = 0;
  EXPECT_EQ(spelled->Answer(6 * 9, &value), S_OK);
  EXPECT_EQ(value, 42);
  EXPECT_EQ(spelled->Count(), 7u);
}

}  // namespace
}  // namespace conformance
