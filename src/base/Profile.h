#pragma once
// INI files read and written key by key, with the rules that settings files
// shared with Windows installations expect: names match without regard to
// case, values lose their surrounding blanks, a write touches one line only.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/FileUtil.h"

namespace flash::profile {

// One INI text parsed once: its sections in file order and, for each, its
// keys by name. The first section of a name decides, and in it the first key
// of a name, as the key-by-key reader has always done.
class IniIndex {
 public:
  explicit IniIndex(std::string_view text);
  // Section names in file order (the first spelling of each name).
  const std::vector<std::string>& SectionNames() const { return names_; }
  // The value, blanks around it and enclosing double quotes removed.
  std::optional<std::string_view> Find(std::string_view section, std::string_view key) const;

 private:
  std::vector<std::string> names_;
  std::vector<std::unordered_map<std::string, std::string>> sections_;  // keys in lower case
  std::unordered_map<std::string, std::size_t> byName_;               // lower case name -> index
};

// The INI files one session reads, each parsed once and parsed again only
// when the file changed on disk: a file is known by its identity (device,
// inode, size, modification time), checked at every read, so an edit made
// by anyone else is seen at the next read. One cache per session; it is not
// shared between threads.
class Cache {
 public:
  // The parsed content of path as it is now; nothing when the file is
  // missing or no regular file.
  std::shared_ptr<const IniIndex> Index(const std::string& path);

  std::vector<std::string> SectionNames(const std::string& path);
  std::string GetString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view def, std::size_t maxChars = 255);
  int32_t GetInt(const std::string& path, std::string_view section, std::string_view key,
                 int32_t def);
  // As the free WriteString; the file's index is renewed from what was written.
  bool WriteString(const std::string& path, std::string_view section, std::string_view key,
                   std::string_view value);

 private:
  struct Entry {
    FileIdentity identity;
    int64_t readAtNs = 0;
    std::shared_ptr<const IniIndex> index;
  };
  std::unordered_map<std::string, Entry> entries_;
};

// The key-by-key reads below parse the file for each call; a session reads
// through its Cache instead.

// Section names in file order (the first spelling of each name).
// Empty when the file cannot be read.
std::vector<std::string> SectionNames(const std::string& path);

// The value of key in section, blanks around it removed, at most maxChars
// characters; def (also cut to maxChars) when the file, section or key is missing.
// Only a regular file is read: anything else under the name reads as missing.
std::string GetString(const std::string& path, std::string_view section, std::string_view key,
                      std::string_view def, std::size_t maxChars = 255);

// The value read as an integer: optional sign, then decimal digits, or
// hexadecimal after "0x"; conversion stops at the first other character.
// def when the key is missing.
int32_t GetInt(const std::string& path, std::string_view section, std::string_view key,
               int32_t def);

// The integer rule of GetInt applied to a text.
int32_t ParseProfileInt(std::string_view text);

// text without the blanks and tabs around it (values and clock texts keep
// them as written).
std::string TrimBlanks(std::string_view text);

// Sets key=value in section. Creates a missing file (CR LF line ends) or
// section; replaces the value of an existing key in place; appends a new key
// at the end of its section; every other line stays byte for byte. The file
// is replaced atomically. False when it could not be written, when a file is
// there that cannot be read (it is left as it is, not replaced by one key),
// or when section, key or value holds a line break.
bool WriteString(const std::string& path, std::string_view section, std::string_view key,
                 std::string_view value);

// True when a and b are equal without regard to ASCII letter case.
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace flash::profile
