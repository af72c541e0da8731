// UTF-8 to UTF-16 and back for the Windows side of the core.
#include "base/WideTextWin32.h"

#include <windows.h>

#include <climits>

namespace flash {
namespace {

std::wstring Widened(UINT codePage, DWORD flags, const std::string& text) {
  const int n = static_cast<int>(text.size());
  const int wide = MultiByteToWideChar(codePage, flags, text.data(), n, nullptr, 0);
  if (wide <= 0) return {};
  std::wstring out(static_cast<std::size_t>(wide), L'\0');
  if (MultiByteToWideChar(codePage, flags, text.data(), n, out.data(), wide) != wide) return {};
  return out;
}

}  // namespace

std::wstring Utf16(const std::string& text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  std::wstring out = Widened(CP_UTF8, MB_ERR_INVALID_CHARS, text);
  return out.empty() ? Widened(CP_ACP, 0, text) : out;
}

std::string Utf8(const std::wstring& text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int n = static_cast<int>(text.size());
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), n, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string out(static_cast<std::size_t>(bytes), '\0');
  if (WideCharToMultiByte(CP_UTF8, 0, text.data(), n, out.data(), bytes, nullptr, nullptr) != bytes)
    return {};
  return out;
}

}  // namespace flash
