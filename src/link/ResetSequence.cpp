#include "link/ResetSequence.h"

#include "base/Profile.h"
#include "base/Session.h"
#include "base/Settings.h"
#include "link/SerialInventory.h"
#include "link/SerialLink.h"

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

std::string ConfiguredResetSequence(const Session& s) {
  if (const auto& given = s.args.ResetSequence()) return profile::TrimBlanks(*given);
  const std::string path = StationFile(s.state, kCustomizeFile);
  const std::string key = "COM" + std::to_string(s.state.settings.comPortIndex + 1);
  std::string own = profile::TrimBlanks(s.profiles.GetString(path, "Reset", key, "", 4095));
  if (!own.empty()) return own;
  return profile::TrimBlanks(s.profiles.GetString(path, "Reset", "Sequence", "", 4095));
}

bool RunResetSequence(Session& s, const std::vector<ResetStep>& steps, std::string& error) {
  // The port as the engineer knows it: its COMn, or the device named in its
  // place that no COMn maps to.
  const std::string& named = s.state.portDevice;
  const std::string port =
      named.empty() || MappedComNumber(StationFile(s.state, ""), named) != 0
          ? "COM" + std::to_string(s.state.settings.comPortIndex + 1)
          : named;
  auto drive = [&](ModemLine line, bool on) {
    if (s.link.SetModemLine(line, on)) return true;
    error = "the reset sequence drives DTR and RTS, and " + port + " has no modem lines";
    return false;
  };
  for (const ResetStep& step : steps) {
    switch (step.kind) {
      case ResetStep::Kind::Dtr:
        if (!drive(ModemLine::Dtr, step.value != 0)) return false;
        break;
      case ResetStep::Kind::Rts:
        if (!drive(ModemLine::Rts, step.value != 0)) return false;
        break;
      case ResetStep::Kind::Wait:
        s.clock.SleepMs(step.value);
        break;
    }
  }
  return drive(ModemLine::Dtr, true) && drive(ModemLine::Rts, true);
}

}  // namespace flash
