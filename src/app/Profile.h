#pragma once
// INI files read and written key by key, with the rules that settings files
// shared with Windows installations expect: names match without regard to
// case, values lose their surrounding blanks, a write touches one line only.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace flash::profile {

// Section names in file order (the first spelling of each name).
// Empty when the file cannot be read.
std::vector<std::string> SectionNames(const std::string& path);

// The value of key in section, blanks around it removed, at most maxChars
// characters; def (also cut to maxChars) when the file, section or key is missing.
std::string GetString(const std::string& path, std::string_view section, std::string_view key,
                      std::string_view def, std::size_t maxChars = 255);

// The value read as an integer: optional sign, then decimal digits, or
// hexadecimal after "0x"; conversion stops at the first other character.
// def when the key is missing.
int32_t GetInt(const std::string& path, std::string_view section, std::string_view key,
               int32_t def);

// The integer rule of GetInt applied to a text.
int32_t ParseProfileInt(std::string_view text);

// Sets key=value in section. Creates a missing file (CR LF line ends) or
// section; replaces the value of an existing key in place; appends a new key
// at the end of its section; every other line stays byte for byte. The file
// is replaced atomically. False when it could not be written.
bool WriteString(const std::string& path, std::string_view section, std::string_view key,
                 std::string_view value);

// True when a and b are equal without regard to ASCII letter case.
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace flash::profile
