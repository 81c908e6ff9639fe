// MessageBoxW without a window system: the message goes to standard error and
// the answer is the style's default button (or the one tests asked for).
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "oleport.h"
#include "oleport_testing.h"

namespace {

// Buttons of each MB_ type, in the order MB_DEFBUTTONn counts them.
struct ButtonSet {
  int buttons[3];
  int count;
};

constexpr ButtonSet kButtonSets[] = {
    {{IDOK, 0, 0}, 1},                        // MB_OK
    {{IDOK, IDCANCEL, 0}, 2},                 // MB_OKCANCEL
    {{IDABORT, IDRETRY, IDIGNORE}, 3},        // MB_ABORTRETRYIGNORE
    {{IDYES, IDNO, IDCANCEL}, 3},             // MB_YESNOCANCEL
    {{IDYES, IDNO, 0}, 2},                    // MB_YESNO
    {{IDRETRY, IDCANCEL, 0}, 2},              // MB_RETRYCANCEL
    {{IDCANCEL, IDTRYAGAIN, IDCONTINUE}, 3},  // MB_CANCELTRYCONTINUE
};

std::atomic<int> forced_answer{0};
std::atomic<long> boxes_shown{0};
std::mutex last_mutex;
std::string last_message;

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
void append_utf16(std::string& out, const WCHAR* text) {
  for (std::size_t i = 0; text[i] != 0; ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (char32_t{text[i + 1]} - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    append_utf8(out, c);
  }
}

int default_answer(UINT style) {
  const UINT type = style & MB_TYPEMASK;
  if (type >= sizeof kButtonSets / sizeof kButtonSets[0]) return IDOK;
  const ButtonSet& set = kButtonSets[type];
  const int wanted = static_cast<int>((style & MB_DEFMASK) >> 8);
  return set.buttons[wanted < set.count ? wanted : 0];
}

}  // namespace

INT WINAPI MessageBoxW(HWND /*hWnd*/, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
  std::string line;
  append_utf16(line, lpCaption != nullptr ? lpCaption : u"Error");
  line += ": ";
  if (lpText != nullptr) append_utf16(line, lpText);
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
  {
    std::lock_guard<std::mutex> hold(last_mutex);
    last_message = line;
  }
  boxes_shown.fetch_add(1);
  const int forced = forced_answer.load();
  return forced != 0 ? forced : default_answer(uType);
}

void oleport_set_message_box_answer(int answer) {
  forced_answer.store(answer);
}

long oleport_message_box_count(void) {
  return boxes_shown.load();
}

size_t oleport_last_message_box(char* buffer, size_t size) {
  std::lock_guard<std::mutex> hold(last_mutex);
  if (buffer != nullptr && size > 0) {
    const size_t n = last_message.size() < size - 1 ? last_message.size() : size - 1;
    std::memcpy(buffer, last_message.data(), n);
    buffer[n] = '\0';
  }
  return last_message.size();
}
