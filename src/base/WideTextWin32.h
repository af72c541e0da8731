#pragma once
// The program keeps every path and name as UTF-8; the Windows calls that
// take any letter are the "W" ones, in UTF-16. The "A" ones read the ANSI
// code page, which cannot name most files a user may have.
#include <string>

namespace flash {

// text as UTF-16 for a "W" call. Text that is not UTF-8 is taken in the ANSI
// code page, as the "A" calls took it, so a name an older version stored
// still opens. Empty when text is empty or too long for the system.
std::wstring Utf16(const std::string& text);

// What a "W" call gave, as UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf8(const std::wstring& text);

}  // namespace flash
