#pragma once
// A small reader of flat JSON objects (one line of the production log),
// strict enough to catch a bad escape or a stray character.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

namespace flash::test {

// One value of a flat JSON object: a string (unescaped), a number or null
// as its text.
struct JsonField {
  std::string key;
  std::string value;
  bool isString = false;
};

// A small reader of flat JSON objects, strict enough to catch a bad escape.
class FlatJson {
 public:
  explicit FlatJson(const std::string& text) : text_(text) {}

  bool Parse(std::vector<JsonField>& fields) {
    if (!Take('{')) return false;
    if (Take('}')) return at_ == text_.size();
    do {
      JsonField field;
      if (!String(field.key) || !Take(':')) return false;
      if (Peek() == '"') {
        field.isString = true;
        if (!String(field.value)) return false;
      } else {
        while (at_ < text_.size() && text_[at_] != ',' && text_[at_] != '}') field.value += text_[at_++];
        if (!IsLiteral(field.value)) return false;
      }
      fields.push_back(field);
    } while (Take(','));
    return Take('}') && at_ == text_.size();
  }

 private:
  // null, true, false or a number as JSON writes one.
  static bool IsLiteral(const std::string& v) {
    if (v == "null" || v == "true" || v == "false") return true;
    std::size_t i = 0;
    auto digits = [&] {
      const std::size_t from = i;
      while (i < v.size() && std::isdigit(static_cast<unsigned char>(v[i]))) ++i;
      return i > from;
    };
    if (i < v.size() && v[i] == '-') ++i;
    if (i < v.size() && v[i] == '0') {
      ++i;
    } else if (!digits()) {
      return false;
    }
    if (i < v.size() && v[i] == '.' && (++i, !digits())) return false;
    if (i < v.size() && (v[i] == 'e' || v[i] == 'E')) {
      ++i;
      if (i < v.size() && (v[i] == '+' || v[i] == '-')) ++i;
      if (!digits()) return false;
    }
    return i == v.size();
  }
  char Peek() const { return at_ < text_.size() ? text_[at_] : '\0'; }
  bool Take(char c) {
    if (Peek() != c) return false;
    ++at_;
    return true;
  }
  bool String(std::string& out) {
    if (!Take('"')) return false;
    while (at_ < text_.size() && text_[at_] != '"') {
      const char c = text_[at_++];
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        out += c;
        continue;
      }
      const char e = text_[at_++];
      const std::string simple = "\"\\/bfnrt", meaning = "\"\\/\b\f\n\r\t";
      if (const auto k = simple.find(e); k != std::string::npos) {
        out += meaning[k];
      } else if (e == 'u' && at_ + 4 <= text_.size()) {
        out += "\\u" + text_.substr(at_, 4);  // kept as written, for the test to see
        at_ += 4;
      } else {
        return false;
      }
    }
    return Take('"');
  }

  std::string text_;
  std::size_t at_ = 0;
};

// The field named key, or null when there is none.
inline const JsonField* FindField(const std::vector<JsonField>& fields, const std::string& key) {
  for (const JsonField& f : fields)
    if (f.key == key) return &f;
  return nullptr;
}

// The keys of a production log record, in their order.
inline const std::vector<std::string> kLogKeys = {
    "time",        "host",     "port",   "device_path", "device",     "crystal",
    "command",     "file",     "file_sha256", "checksum", "serial",   "result",
    "message_id",  "message",  "seconds", "bytes"};

// One line of the log (with its line feed) read as a flat object.
inline std::vector<JsonField> ParsedLine(const std::string& line) {
  EXPECT_FALSE(line.empty());
  if (line.empty()) return {};
  EXPECT_EQ(line.back(), '\n');
  EXPECT_EQ(line.find('\n'), line.size() - 1) << "one line";
  std::vector<JsonField> fields;
  EXPECT_TRUE(FlatJson(line.substr(0, line.size() - 1)).Parse(fields)) << line;
  return fields;
}

}  // namespace flash::test
