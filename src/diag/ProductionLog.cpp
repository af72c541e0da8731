#include "diag/ProductionLog.h"

#include <cmath>
#include <cstdio>

namespace flash {
namespace {

// The length of the valid UTF-8 sequence starting at text[at]; 0 when the
// bytes there are none (overlong forms, surrogates and values past U+10FFFF
// included).
std::size_t Utf8Length(const std::string& text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  }
  return length;
}

void AppendEscapedControl(std::string& out, unsigned char c) {
  switch (c) {
    case '\r': out += "\\r"; return;
    case '\n': out += "\\n"; return;
    case '\t': out += "\\t"; return;
    case '\b': out += "\\b"; return;
    case '\f': out += "\\f"; return;
    default: break;
  }
  char code[8];
  std::snprintf(code, sizeof code, "\\u%04X", static_cast<unsigned>(c));
  out += code;
}

std::string Quoted(const std::string& text) { return "\"" + JsonEscaped(text) + "\""; }

std::string OrNull(const std::optional<std::string>& text) {
  return text ? Quoted(*text) : "null";
}

std::string SecondsText(double seconds) {
  if (!std::isfinite(seconds)) return "null";
  char text[48];
  std::snprintf(text, sizeof text, "%.3f", seconds);
  return text;
}

std::string ChecksumText(const std::optional<uint16_t>& checksum) {
  if (!checksum) return "null";
  char text[8];
  std::snprintf(text, sizeof text, "\"%04X\"", static_cast<unsigned>(*checksum));
  return text;
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

}  // namespace

const char* LogResultText(LogResult result) {
  switch (result) {
    case LogResult::Ok: return "ok";
    case LogResult::Negative: return "negative";
    case LogResult::Fail: return "fail";
  }
  return "fail";
}

std::string JsonEscaped(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (std::size_t at = 0; at < text.size();) {
    const auto c = static_cast<unsigned char>(text[at]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      AppendEscapedControl(out, c);
    } else if (c >= 0x80) {
      const std::size_t length = Utf8Length(text, at);
      if (length == 0) {
        out += "\\uFFFD";
        ++at;
        continue;
      }
      out.append(text, at, length);
      at += length;
      continue;
    } else {
      out += static_cast<char>(c);
    }
    ++at;
  }
  return out;
}

std::string FormatLogRecord(const LogRecord& r) {
  std::string line = "{";
  line += "\"time\":" + Quoted(r.time);
  line += ",\"host\":" + Quoted(r.host);
  line += ",\"port\":" + Quoted(r.port);
  line += ",\"device_path\":" + Quoted(r.devicePath);
  line += ",\"device\":" + Quoted(r.device);
  line += ",\"crystal\":" + Quoted(r.crystal);
  line += ",\"command\":" + Quoted(r.command);
  line += ",\"file\":" + OrNull(r.file);
  line += ",\"file_sha256\":" + OrNull(r.fileSha256);
  line += ",\"checksum\":" + ChecksumText(r.checksum);
  line += ",\"serial\":" + (r.serial ? std::to_string(*r.serial) : std::string("null"));
  line += ",\"result\":" + Quoted(LogResultText(r.result));
  line += ",\"message_id\":" + (r.messageId ? std::to_string(*r.messageId) : std::string("null"));
  line += ",\"message\":" + OrNull(r.message);
  line += ",\"seconds\":" + SecondsText(r.seconds);
  line += ",\"bytes\":" + std::to_string(r.bytes);
  line += "}\n";
  return line;
}

int64_t LocalOffsetSeconds(int64_t secondsSinceEpoch) {
  const std::tm tm = LocalTime(secondsSinceEpoch);
  const int64_t days = DaysFromCivil(int64_t{tm.tm_year} + 1900, tm.tm_mon + 1, tm.tm_mday);
  const int64_t localAsUtc = days * 86400 + tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec;
  return localAsUtc - secondsSinceEpoch;
}

std::string IsoTimeWithOffset(const WallTime& when) {
  const std::tm tm = LocalTime(when.seconds);
  // To the nearest minute: offsets are whole minutes today, and a leap
  // second (tm_sec 60) must not shift it.
  const int64_t offset = LocalOffsetSeconds(when.seconds);
  const int64_t offsetMinutes = (offset + (offset >= 0 ? 30 : -30)) / 60;
  const char sign = offsetMinutes < 0 ? '-' : '+';
  const int64_t magnitude = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d",
                tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                tm.tm_sec, when.milliseconds, sign, static_cast<int>(magnitude / 60),
                static_cast<int>(magnitude % 60));
  return text;
}

}  // namespace flash
