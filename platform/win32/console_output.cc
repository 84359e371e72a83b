#include "platform/system/console_output.h"

#include <algorithm>

#include "platform/win32/system.h"
#include "platform/win32/windows_api.h"

namespace {

// A console takes characters, and shows UTF-8 bytes as such only when its
// code page says so; bytes that are not UTF-8 show as U+FFFD.
bool ToConsole(HANDLE console, const std::string& utf8) {
  const int size = static_cast<int>(utf8.size());
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring text(static_cast<size_t>(length), L'\0');
  if (length > 0) {
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, &text[0], length);
  }
  for (size_t done = 0; done < text.size();) {
    // In pieces, as old consoles take no more than about 64 KiB at once,
    // never splitting a surrogate pair.
    size_t piece = std::min<size_t>(text.size() - done, 8192);
    if (done + piece < text.size() && text[done + piece - 1] >= 0xD800 &&
        text[done + piece - 1] < 0xDC00) {
      --piece;
    }
    DWORD written = 0;
    if (!WriteConsoleW(console, text.data() + done, static_cast<DWORD>(piece),
                       &written, nullptr) ||
        written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

}  // namespace

bool WriteOutput(Output to, const std::string& utf8) {
  HANDLE out = GetStdHandle(to == Output::kStandard ? STD_OUTPUT_HANDLE
                                                    : STD_ERROR_HANDLE);
  if (out == kInvalidHandle || out == nullptr) return false;
  DWORD mode;
  if (GetConsoleMode(out, &mode)) return ToConsole(out, utf8);
  // A file or a pipe: the bytes as they are, written at once.
  for (size_t done = 0; done < utf8.size();) {
    DWORD written = 0;
    if (!WriteFile(out, utf8.data() + done,
                   static_cast<DWORD>(utf8.size() - done), &written, nullptr) ||
        written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}
