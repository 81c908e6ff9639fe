// The URL history object (CLSID_CUrlHistory through IUrlHistoryStg2): adding,
// querying with the STATURL_QUERYFLAG_* flags, the STATURL filling and its
// task-memory strings, and deleting.
//
// The cases add URLs of their own under ostrel.test and delete them again, so
// that on Windows they leave the user's history as they found it.
#include <string>

#include "fake_objects.h"
#include "platform_accounting.h"

namespace conformance {
namespace {

using OleString = std::basic_string<OLECHAR>;

const OLECHAR kVisited[] = OLESTR("http://ostrel.test/conformance/visited");
const OLECHAR kCachedOnly[] = OLESTR("http://ostrel.test/conformance/cached");
const OLECHAR kAbsent[] = OLESTR("http://ostrel.test/conformance/never-visited");
const OLECHAR kTitle[] = OLESTR("Visited page");

// A STATURL prepared as the platform expects: zeroed, its size set. Frees
// the strings QueryUrl stored in it.
struct Record {
  STATURL stat{};
  Record() { stat.cbSize = sizeof(stat); }
  ~Record() {
    CoTaskMemFree(stat.pwcsUrl);
    CoTaskMemFree(stat.pwcsTitle);
  }
  Record(const Record&) = delete;
  Record& operator=(const Record&) = delete;
};

class UrlHistoryTest : public LeakCheckedTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(CoCreateInstance(CLSID_CUrlHistory, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IUrlHistoryStg2, reinterpret_cast<void**>(&history_)),
              S_OK);
    // Wine's class exists, but every method beyond IUnknown is a stub.
    if (!running_under_wine()) {
      ASSERT_EQ(history_->AddUrl(kVisited, kTitle, ADDURL_ADDTOHISTORYANDCACHE), S_OK);
    }
  }
  void TearDown() override {
    if (history_ == nullptr) return;
    if (!running_under_wine()) {
      history_->DeleteUrl(kVisited, 0);
      history_->DeleteUrl(kCachedOnly, 0);
    }
    history_->Release();
  }
  ApartmentScope apartment_;
  IUrlHistoryStg2* history_ = nullptr;
};

TEST_F(UrlHistoryTest, ObjectAnswersForEachOfItsInterfaces) {
  for (const IID* iid : {&IID_IUnknown, &IID_IUrlHistoryStg, &IID_IUrlHistoryStg2}) {
    IUnknown* other = nullptr;
    EXPECT_EQ(history_->QueryInterface(*iid, reinterpret_cast<void**>(&other)), S_OK);
    ASSERT_NE(other, nullptr);
    other->Release();
  }
}

#define SKIP_UNDER_WINE() \
  if (running_under_wine()) GTEST_SKIP() << "Wine answers E_NOTIMPL to AddUrl and QueryUrl"

TEST_F(UrlHistoryTest, WineStubsLeaveTheRecordEmpty) {
  if (!running_under_wine()) GTEST_SKIP() << "Wine's own behaviour";
  // Wine (8.0) answers E_NOTIMPL to AddUrl, DeleteUrl, QueryUrl and
  // ClearHistory and never writes the record.
  EXPECT_EQ(history_->AddUrl(kVisited, kTitle, ADDURL_ADDTOHISTORYANDCACHE), E_NOTIMPL);
  Record record;
  EXPECT_EQ(history_->QueryUrl(kVisited, STATURL_QUERYFLAG_TOPLEVEL, &record.stat), E_NOTIMPL);
  EXPECT_EQ(record.stat.pwcsUrl, nullptr);
  EXPECT_EQ(record.stat.pwcsTitle, nullptr);
  EXPECT_EQ(record.stat.cbSize, sizeof(STATURL));
}

TEST_F(UrlHistoryTest, QueryFillsTheRecordWithTaskMemoryStrings) {
  SKIP_UNDER_WINE();
  struct Case {
    const char* name;
    DWORD flags;
    bool url;
    bool title;
  };
  const Case cases[] = {
      {"no flags", 0, true, true},
      {"top level", STATURL_QUERYFLAG_TOPLEVEL, true, true},
      {"no url", STATURL_QUERYFLAG_NOURL, false, true},
      {"no title", STATURL_QUERYFLAG_NOTITLE, true, false},
      {"neither", STATURL_QUERYFLAG_NOURL | STATURL_QUERYFLAG_NOTITLE, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Record record;
    ASSERT_EQ(history_->QueryUrl(kVisited, c.flags, &record.stat), S_OK);
    EXPECT_EQ(record.stat.cbSize, sizeof(STATURL));
    if (c.url) {
      ASSERT_NE(record.stat.pwcsUrl, nullptr);
      EXPECT_EQ(OleString(record.stat.pwcsUrl), OleString(kVisited));
    } else {
      EXPECT_EQ(record.stat.pwcsUrl, nullptr);
    }
    if (c.title) {
      ASSERT_NE(record.stat.pwcsTitle, nullptr);
      EXPECT_EQ(OleString(record.stat.pwcsTitle), OleString(kTitle));
    } else {
      EXPECT_EQ(record.stat.pwcsTitle, nullptr);
    }
    EXPECT_NE(record.stat.dwFlags & STATURLFLAG_ISTOPLEVEL, 0u);
    EXPECT_TRUE(record.stat.ftLastVisited.dwLowDateTime != 0 ||
                record.stat.ftLastVisited.dwHighDateTime != 0);
  }
}

TEST_F(UrlHistoryTest, AbsentAndEmptyUrlsAreNotFoundAndLeaveTheRecordEmpty) {
  SKIP_UNDER_WINE();
  for (const OLECHAR* url : {kAbsent, OLESTR("")}) {
    Record record;
    EXPECT_TRUE(FAILED(history_->QueryUrl(url, STATURL_QUERYFLAG_TOPLEVEL, &record.stat)));
    EXPECT_EQ(record.stat.pwcsUrl, nullptr);
    EXPECT_EQ(record.stat.pwcsTitle, nullptr);
  }
}

TEST_F(UrlHistoryTest, QueryWithoutARecordTellsPresenceOnly) {
  SKIP_UNDER_WINE();
  EXPECT_EQ(history_->QueryUrl(kVisited, STATURL_QUERYFLAG_TOPLEVEL, nullptr), S_OK);
  EXPECT_TRUE(FAILED(history_->QueryUrl(kAbsent, STATURL_QUERYFLAG_TOPLEVEL, nullptr)));
}

TEST_F(UrlHistoryTest, DeletedUrlIsNoLongerFound) {
  SKIP_UNDER_WINE();
  ASSERT_EQ(history_->DeleteUrl(kVisited, 0), S_OK);
  Record record;
  EXPECT_TRUE(FAILED(history_->QueryUrl(kVisited, 0, &record.stat)));
  EXPECT_EQ(record.stat.pwcsUrl, nullptr);
}

}  // namespace
}  // namespace conformance
