#include "link/ResetSequence.h"

namespace flash {

bool ParseResetSequence(std::string_view text, std::vector<ResetStep>& steps, std::string& error) {
  std::vector<ResetStep> parsed;
  std::size_t i = 0;
  auto fail = [&](const std::string& why) {
    error = "reset sequence \"" + std::string(text) + "\": " + why;
    return false;
  };
  while (i < text.size()) {
    const char c = text[i];
    if (c == ' ' || c == '\t') {
      ++i;
      continue;
    }
    const char letter = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    const std::size_t at = i++;
    std::size_t digits = 0;
    uint64_t value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      value = value * 10 + static_cast<uint64_t>(text[i] - '0');
      if (value > kResetMaxWaitMs) value = kResetMaxWaitMs + 1;  // no overflow however long
      ++i;
      ++digits;
    }
    const std::string where = " at position " + std::to_string(at + 1);
    if (letter == 'D' || letter == 'R') {
      if (digits != 1 || value > 1) return fail(std::string(1, c) + " takes 0 or 1" + where);
      parsed.push_back({letter == 'D' ? ResetStep::Kind::Dtr : ResetStep::Kind::Rts,
                        static_cast<uint32_t>(value)});
    } else if (letter == 'W') {
      if (digits == 0) return fail("W needs milliseconds" + where);
      if (value > kResetMaxWaitMs)
        return fail("W waits at most " + std::to_string(kResetMaxWaitMs) + " ms" + where);
      parsed.push_back({ResetStep::Kind::Wait, static_cast<uint32_t>(value)});
    } else {
      return fail("'" + std::string(1, c) + "'" + where + " is none of D, R and W");
    }
  }
  if (parsed.empty()) return fail("it is empty");
  steps = std::move(parsed);
  return true;
}

}  // namespace flash
