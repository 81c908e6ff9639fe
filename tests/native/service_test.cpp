// ComService natives against the sample server.
#include <gtest/gtest.h>

#include "oleport_testing.h"
#include "runtime/com_refs.h"
#include "runtime/handle.h"
#include "testserver/sample_server.h"
#include "tests/native/jvm_harness.h"
#include "tests/native/natives.h"

namespace {

class ComServiceTest : public JvmTest {
 protected:
  jstring text(const char* s) { return env->NewStringUTF(s); }
  jlong create(const char* clsid, jint context) {
    return Java_com_qel_vandrel_com_win32_ComService__1coCreateInstance__Ljava_lang_String_2I(
        env, nullptr, clsid == nullptr ? nullptr : text(clsid), context);
  }
  // Takes over the reference a native handed out.
  static void release(jlong handle) {
    if (handle != 0) ov_from_handle<IUnknown>(handle)->Release();
  }
};

constexpr const char* kCounter = "{5E1A0000-0000-4A11-9000-000000000001}";
constexpr const char* kLocalOnly = "{5E1A0000-0000-4A11-9000-000000000002}";
constexpr const char* kRunning = "{5E1A0000-0000-4A11-9000-000000000003}";

TEST_F(ComServiceTest, InitializeTwiceOnOneThreadIsFine) {
  call_com_service("_initialize");  // CoInitialize answers S_FALSE
  EXPECT_EQ(ov_test_take_exception(env), "");
  call_com_service("_uninitialize");
}

struct CreateCase {
  const char* clsid;
  jint context;
  bool created;
};

TEST_F(ComServiceTest, CreatesByClassIdentifierHonouringTheContext) {
  const CreateCase cases[] = {
      {kCounter, CLSCTX_INPROC_SERVER, true},
      {kCounter, CLSCTX_ALL, true},
      {kCounter, CLSCTX_LOCAL_SERVER, false},
      {kLocalOnly, CLSCTX_INPROC_SERVER, false},
      {"not a class identifier", CLSCTX_ALL, false},
      {"{5E1A0000-0000-4A11-9000-0000000000FF}", CLSCTX_ALL, false},
      {"", CLSCTX_ALL, false},
  };
  for (const CreateCase& c : cases) {
    const jlong handle = create(c.clsid, c.context);
    EXPECT_EQ(handle != 0, c.created) << c.clsid << " context " << c.context;
    EXPECT_EQ(ov_test_take_exception(env), "") << c.clsid;
    if (handle != 0) {
      EXPECT_EQ(sample_ref_count(ov_from_handle<IUnknown>(handle)), 1u);
    }
    release(handle);
  }
}

TEST_F(ComServiceTest, NullStringsThrowNullPointerException) {
  EXPECT_EQ(create(nullptr, CLSCTX_ALL), 0);
  EXPECT_EQ(ov_test_take_exception(env),
            "java.lang.NullPointerException: class identifier is null");
  EXPECT_EQ(Java_com_qel_vandrel_com_win32_ComService__1coGetObject(env, nullptr, nullptr), 0);
  EXPECT_EQ(ov_test_take_exception(env), "java.lang.NullPointerException: display name is null");
  EXPECT_EQ(Java_com_qel_vandrel_com_win32_ComService__1getActiveObject(env, nullptr, nullptr), 0);
  EXPECT_EQ(ov_test_take_exception(env),
            "java.lang.NullPointerException: class identifier is null");
  EXPECT_EQ(
      Java_com_qel_vandrel_com_win32_ComService__1messageBox(env, nullptr, text("t"), nullptr, 0),
      0);
  EXPECT_EQ(ov_test_take_exception(env),
            "java.lang.NullPointerException: message box caption is null");
}

TEST_F(ComServiceTest, BindsThroughDisplayNames) {
  const struct {
    const char* name;
    bool bound;
  } cases[] = {
      {"new:{5E1A0000-0000-4A11-9000-000000000004}", true},
      {"new:5E1A0000-0000-4A11-9000-000000000004", true},
      {"clsid:5E1A0000-0000-4A11-9000-000000000004:", true},
      {"new:{5E1A0000-0000-4A11-9000-0000000000FF}", false},
      {"certainly not a moniker", false},
  };
  for (const auto& c : cases) {
    const jlong handle =
        Java_com_qel_vandrel_com_win32_ComService__1coGetObject(env, nullptr, text(c.name));
    EXPECT_EQ(handle != 0, c.bound) << c.name;
    EXPECT_EQ(ov_test_take_exception(env), "");
    release(handle);
  }
}

TEST_F(ComServiceTest, FindsTheRunningObject) {
  const jlong handle =
      Java_com_qel_vandrel_com_win32_ComService__1getActiveObject(env, nullptr, text(kRunning));
  ASSERT_NE(handle, 0);
  release(handle);
  EXPECT_EQ(
      Java_com_qel_vandrel_com_win32_ComService__1getActiveObject(env, nullptr, text(kCounter)), 0);
  EXPECT_EQ(ov_test_take_exception(env), "");
}

TEST_F(ComServiceTest, ReleaseVariantOfZeroIsHarmless) {
  Java_com_qel_vandrel_com_win32_ComService__1releaseVariant(env, nullptr, 0);
  EXPECT_EQ(ov_test_take_exception(env), "");
}

TEST_F(ComServiceTest, MessageBoxReturnsTheButtonPressed) {
  const struct {
    int answer;  // 0: the default button of the style
    jint style;
    jint expected;
  } cases[] = {
      {0, MB_OK, IDOK},
      {0, MB_YESNO, IDYES},
      {0, MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
      {IDNO, MB_YESNO, IDNO},
  };
  for (const auto& c : cases) {
    oleport_set_message_box_answer(c.answer);
    EXPECT_EQ(Java_com_qel_vandrel_com_win32_ComService__1messageBox(env, nullptr, text("Text"),
                                                                     text("Caption"), c.style),
              c.expected);
  }
  oleport_set_message_box_answer(0);
}

}  // namespace
