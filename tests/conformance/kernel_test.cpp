// Memory and locking services: GlobalAlloc, CoTaskMem, critical sections,
// and the windowless MessageBoxW of the portable runtime.
#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "platform_accounting.h"

namespace conformance {
namespace {

TEST(GlobalMemoryTest, ZeroInitFillsAndFreeReturnsNull) {
  for (UINT flags : {UINT{GPTR}, UINT{GMEM_FIXED | GMEM_ZEROINIT}}) {
    // Dirty the heap first so that zeroes cannot come by accident.
    void* dirty = GlobalAlloc(GMEM_FIXED, 256);
    ASSERT_NE(dirty, nullptr);
    std::memset(dirty, 0xCD, 256);
    GlobalFree(dirty);
    auto* block = static_cast<unsigned char*>(GlobalAlloc(flags, 256));
    ASSERT_NE(block, nullptr);
    int nonzero = 0;
    for (int i = 0; i < 256; ++i) nonzero += block[i] != 0;
    EXPECT_EQ(nonzero, 0);
    EXPECT_EQ(GlobalFree(block), nullptr);
  }
  void* fixed = GlobalAlloc(GMEM_FIXED, 16);
  ASSERT_NE(fixed, nullptr);
  std::memset(fixed, 1, 16);  // the handle of a fixed block is its address
  EXPECT_EQ(GlobalFree(fixed), nullptr);
}

TEST(TaskMemoryTest, AllocReallocAndFree) {
  auto* block = static_cast<unsigned char*>(CoTaskMemAlloc(8));
  ASSERT_NE(block, nullptr);
  std::memcpy(block, "abcdefg", 8);
  block = static_cast<unsigned char*>(CoTaskMemRealloc(block, 4096));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(std::memcmp(block, "abcdefg", 8), 0) << "contents survive growth";
  CoTaskMemFree(block);
  CoTaskMemFree(nullptr);
  void* fresh = CoTaskMemRealloc(nullptr, 16);
  EXPECT_NE(fresh, nullptr) << "a null block is allocated";
  CoTaskMemFree(fresh);
  OLECHAR* text = nullptr;
  ASSERT_EQ(StringFromCLSID(IID_IDispatch, &text), S_OK);
  EXPECT_EQ(std::basic_string<OLECHAR>(text),
            std::basic_string<OLECHAR>(OLESTR("{00020400-0000-0000-C000-000000000046}")));
  CoTaskMemFree(text);
}

TEST(CriticalSectionTest, OwnerMayReenterOthersMayNot) {
  CRITICAL_SECTION section;
  InitializeCriticalSection(&section);
  EnterCriticalSection(&section);
  EnterCriticalSection(&section);
  EXPECT_TRUE(TryEnterCriticalSection(&section));

  auto other_thread_can_enter = [&section] {
    std::atomic<bool> entered{false};
    std::thread other([&] {
      if (TryEnterCriticalSection(&section)) {
        entered = true;
        LeaveCriticalSection(&section);
      }
    });
    other.join();
    return entered.load();
  };
  EXPECT_FALSE(other_thread_can_enter());
  LeaveCriticalSection(&section);
  LeaveCriticalSection(&section);
  EXPECT_FALSE(other_thread_can_enter()) << "still held once";
  LeaveCriticalSection(&section);
  EXPECT_TRUE(other_thread_can_enter());
  DeleteCriticalSection(&section);
}

TEST(CriticalSectionTest, ExcludesConcurrentWriters) {
  CRITICAL_SECTION section;
  InitializeCriticalSection(&section);
  long counter = 0;
  auto work = [&] {
    for (int i = 0; i < 20000; ++i) {
      EnterCriticalSection(&section);
      counter = counter + 1;
      LeaveCriticalSection(&section);
    }
  };
  std::thread a(work);
  std::thread b(work);
  a.join();
  b.join();
  EXPECT_EQ(counter, 40000);
  DeleteCriticalSection(&section);
}

#if !defined(_WIN32)
// Windows shows a real dialog; only the windowless stand-in can be checked.
TEST(MessageBoxTest, AnswersWithTheDefaultButtonOfTheStyle) {
  struct Case {
    UINT style;
    int answer;
  };
  const Case cases[] = {
      {MB_OK, IDOK},
      {MB_OKCANCEL, IDOK},
      {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
      {MB_YESNO, IDYES},
      {MB_YESNO | MB_DEFBUTTON2, IDNO},
      {MB_YESNO | MB_DEFBUTTON3, IDYES},  // no third button: the first one
      {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
      {MB_ABORTRETRYIGNORE | MB_DEFBUTTON2 | MB_ICONERROR, IDRETRY},
      {MB_RETRYCANCEL, IDRETRY},
      {MB_CANCELTRYCONTINUE | MB_DEFBUTTON3, IDCONTINUE},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MessageBoxW(nullptr, u"text", u"caption", c.style), c.answer)
        << "style 0x" << std::hex << c.style;
  }
}

TEST(MessageBoxTest, WritesCaptionAndTextAsUtf8AndTakesForcedAnswers) {
  const long shown = oleport_message_box_count();
  oleport_set_message_box_answer(IDNO);
  EXPECT_EQ(MessageBoxW(nullptr, u"Gr\u00fc\u00dfe \U0001F600", u"Title", MB_YESNO), IDNO);
  oleport_set_message_box_answer(0);
  EXPECT_EQ(oleport_message_box_count(), shown + 1);
  char line[64];
  oleport_last_message_box(line, sizeof line);
  EXPECT_STREQ(line,
               "Title: Gr\xC3\xBC\xC3\x9F"
               "e \xF0\x9F\x98\x80");
  MessageBoxW(nullptr, u"no caption", nullptr, MB_OK);
  oleport_last_message_box(line, sizeof line);
  EXPECT_STREQ(line, "Error: no caption");
}
#endif

}  // namespace
}  // namespace conformance
