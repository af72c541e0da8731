#include "base/Profile.h"

#include <cctype>
#include <cstdio>

#include "base/FileUtil.h"

namespace flash::profile {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// One line of the file, with its terminator kept apart so writes can restore it.
struct Line {
  std::string text;
  std::string end;  // "", "\n" or "\r\n"
};

std::vector<Line> SplitLines(const std::string& data) {
  std::vector<Line> lines;
  std::size_t pos = 0;
  while (pos < data.size()) {
    std::size_t nl = data.find('\n', pos);
    Line line;
    if (nl == std::string::npos) {
      line.text = data.substr(pos);
      pos = data.size();
    } else {
      std::size_t end = nl;
      if (end > pos && data[end - 1] == '\r') {
        --end;
        line.end = "\r\n";
      } else {
        line.end = "\n";
      }
      line.text = data.substr(pos, end - pos);
      pos = nl + 1;
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

// The section name of a header line "[name]", or nothing.
std::optional<std::string_view> HeaderName(std::string_view text) {
  std::string_view t = Trim(text);
  if (t.size() < 2 || t.front() != '[') return std::nullopt;
  std::size_t close = t.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(t.substr(1, close - 1));
}

struct KeyValue {
  std::string_view key;
  std::string_view value;
};

std::optional<KeyValue> SplitKeyValue(std::string_view text) {
  std::string_view t = Trim(text);
  if (t.empty() || t.front() == ';') return std::nullopt;
  std::size_t eq = t.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return KeyValue{Trim(t.substr(0, eq)), Trim(t.substr(eq + 1))};
}

// ASCII only, as names are matched; no locale lookup per character.
char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

// A file modified this recently may be modified again within the same tick
// of the file system's clock (up to 2 s on FAT) and keep its identity, so its
// index is not trusted for the next read.
constexpr int64_t kRacyNs = 2'000'000'000;

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

IniIndex::IniIndex(std::string_view text) {
  std::unordered_map<std::string, std::string>* current = nullptr;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t nl = text.find('\n', pos);
    if (nl == std::string_view::npos) nl = text.size();
    std::string_view line = text.substr(pos, nl - pos);
    pos = nl + 1;
    if (auto name = HeaderName(line)) {
      auto [it, fresh] = byName_.try_emplace(Lower(*name), sections_.size());
      if (fresh) {
        names_.emplace_back(*name);
        sections_.emplace_back();
        current = &sections_.back();
      } else {
        current = nullptr;  // the first section of that name decides
      }
      continue;
    }
    if (!current) continue;
    if (auto kv = SplitKeyValue(line)) {
      std::string_view v = kv->value;
      // A value in double quotes loses them, as the platform's reader does.
      if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
      current->try_emplace(Lower(kv->key), v);
    }
  }
}

std::optional<std::string_view> IniIndex::Find(std::string_view section,
                                               std::string_view key) const {
  auto s = byName_.find(Lower(section));
  if (s == byName_.end()) return std::nullopt;
  const auto& keys = sections_[s->second];
  auto k = keys.find(Lower(key));
  if (k == keys.end()) return std::nullopt;
  return std::string_view(k->second);
}

std::shared_ptr<const IniIndex> Cache::Index(const std::string& path) {
  FileIdentity now;
  if (!RegularFileIdentity(path, &now)) {
    entries_.erase(path);
    return nullptr;
  }
  auto it = entries_.find(path);
  if (it != entries_.end() && it->second.identity == now &&
      it->second.readAtNs - now.modifiedNs >= kRacyNs)
    return it->second.index;
  Entry e;
  e.readAtNs = FileSystemNowNs();
  std::string text;
  if (!ReadRegularFile(path, &text, &e.identity)) {
    entries_.erase(path);
    return nullptr;
  }
  e.index = std::make_shared<const IniIndex>(text);
  auto index = e.index;
  entries_[path] = std::move(e);
  return index;
}

std::vector<std::string> Cache::SectionNames(const std::string& path) {
  auto index = Index(path);
  return index ? index->SectionNames() : std::vector<std::string>{};
}

std::string Cache::GetString(const std::string& path, std::string_view section,
                             std::string_view key, std::string_view def, std::size_t maxChars) {
  auto index = Index(path);
  std::optional<std::string_view> found;
  if (index) found = index->Find(section, key);
  std::string value(found.value_or(def));
  if (value.size() > maxChars) value.resize(maxChars);
  return value;
}

int32_t Cache::GetInt(const std::string& path, std::string_view section, std::string_view key,
                      int32_t def) {
  auto index = Index(path);
  if (!index) return def;
  auto found = index->Find(section, key);
  return found ? ParseProfileInt(*found) : def;
}

std::vector<std::string> SectionNames(const std::string& path) {
  return Cache().SectionNames(path);
}

std::string GetString(const std::string& path, std::string_view section, std::string_view key,
                      std::string_view def, std::size_t maxChars) {
  return Cache().GetString(path, section, key, def, maxChars);
}

std::string TrimBlanks(std::string_view text) {
  const std::size_t b = text.find_first_not_of(" \t");
  if (b == std::string_view::npos) return {};
  return std::string(text.substr(b, text.find_last_not_of(" \t") - b + 1));
}

int32_t ParseProfileInt(std::string_view t) {
  std::size_t i = 0;
  while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
  bool negative = false;
  if (i < t.size() && (t[i] == '-' || t[i] == '+')) negative = t[i++] == '-';
  uint32_t value = 0;
  if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
    for (i += 2; i < t.size() && std::isxdigit(static_cast<unsigned char>(t[i])); ++i) {
      char c = static_cast<char>(std::tolower(static_cast<unsigned char>(t[i])));
      value = value * 16 + static_cast<uint32_t>(c <= '9' ? c - '0' : c - 'a' + 10);
    }
  } else {
    for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i)
      value = value * 10 + static_cast<uint32_t>(t[i] - '0');
  }
  // 32-bit wrap-around, as the platform's reader gives for oversized numbers.
  return static_cast<int32_t>(negative ? 0u - value : value);
}

int32_t GetInt(const std::string& path, std::string_view section, std::string_view key,
               int32_t def) {
  return Cache().GetInt(path, section, key, def);
}

namespace {

// The edited text, or nothing when the file is there but cannot be read.
std::optional<std::string> EditedText(const std::string& path, std::string_view section,
                                      std::string_view key, std::string_view value) {
  // A line break would end the line early and let the rest pose as a key of
  // its own (a file path may hold one): such a write is refused.
  for (std::string_view part : {section, key, value})
    if (part.find_first_of("\r\n") != std::string_view::npos) return std::nullopt;
  std::string data;
  if (!ReadRegularFile(path, &data)) {
    if (FileExists(path)) return std::nullopt;
    data.clear();
  }
  std::vector<Line> lines = SplitLines(data);
  std::string eol = "\r\n";  // new files get the line ends Windows installations use
  for (const Line& l : lines) {
    if (!l.end.empty()) {
      eol = l.end;
      break;
    }
  }
  std::string newLine = std::string(key) + "=" + std::string(value);

  // Find the section, then the key inside it.
  std::size_t sectionAt = lines.size();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (auto name = HeaderName(lines[i].text); name && EqualsNoCase(*name, section)) {
      sectionAt = i;
      break;
    }
  }
  auto terminateLast = [&] {
    if (!lines.empty() && lines.back().end.empty()) lines.back().end = eol;
  };
  if (sectionAt == lines.size()) {
    terminateLast();
    lines.push_back({"[" + std::string(section) + "]", eol});
    lines.push_back({newLine, eol});
  } else {
    std::size_t end = sectionAt + 1;
    while (end < lines.size() && !HeaderName(lines[end].text)) ++end;
    bool replaced = false;
    for (std::size_t i = sectionAt + 1; i < end; ++i) {
      if (auto kv = SplitKeyValue(lines[i].text); kv && EqualsNoCase(kv->key, key)) {
        lines[i].text = std::string(kv->key) + "=" + std::string(value);
        replaced = true;
        break;
      }
    }
    if (!replaced) {
      // After the last non-blank line of the section, so blank separators stay below it.
      std::size_t at = end;
      while (at > sectionAt + 1 && Trim(lines[at - 1].text).empty()) --at;
      if (at == lines.size()) terminateLast();
      else if (lines[at - 1].end.empty()) lines[at - 1].end = eol;
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), Line{newLine, eol});
    }
  }
  std::string out;
  for (const Line& l : lines) out += l.text + l.end;
  return out;
}

}  // namespace

bool WriteString(const std::string& path, std::string_view section, std::string_view key,
                 std::string_view value) {
  auto text = EditedText(path, section, key, value);
  return text && ReplaceFileAtomically(path, *text);
}

bool Cache::WriteString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value) {
  auto text = EditedText(path, section, key, value);
  if (!text || !ReplaceFileAtomically(path, *text)) {
    entries_.erase(path);
    return false;
  }
  Entry e;
  e.readAtNs = FileSystemNowNs();
  if (!RegularFileIdentity(path, &e.identity)) {
    entries_.erase(path);
    return true;
  }
  e.index = std::make_shared<const IniIndex>(*text);
  entries_[path] = std::move(e);
  return true;
}

}  // namespace flash::profile
