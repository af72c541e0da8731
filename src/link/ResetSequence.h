#pragma once
// A board's automatic reset: DTR and RTS driven in a sequence, with waits,
// where the board's reset and boot-mode pins hang on those modem lines.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace flash {

struct Session;

struct ResetStep {
  enum class Kind { Dtr, Rts, Wait };
  Kind kind = Kind::Wait;
  uint32_t value = 0;  // 0 or 1 for a line, milliseconds for a wait
  bool operator==(const ResetStep&) const = default;
};

// The longest single wait a sequence may ask for, in milliseconds.
inline constexpr uint32_t kResetMaxWaitMs = 10000;

// "D0R1W100D1R0W50": D and R set DTR or RTS to 0 or 1, W waits that many
// milliseconds (decimal, up to kResetMaxWaitMs). Letters in either case;
// blanks between steps are ignored. False with the reason in error for
// anything else, an empty text included; steps is then untouched.
bool ParseResetSequence(std::string_view text, std::vector<ResetStep>& steps, std::string& error);

// The sequence for the port of s: flashcli's --reset-sequence, else key
// COM<n> of section [Reset] of Customize.ini, else its key Sequence (for
// every port). Empty when none is configured: the reset prompt then stays.
std::string ConfiguredResetSequence(const Session& s);

// Drives the lines of the open port step by step (waits through the
// session's clock), then puts DTR and RTS back on, as the line settings
// hold them. False, with the reason in error, when the port cannot drive
// its modem lines.
bool RunResetSequence(Session& s, const std::vector<ResetStep>& steps, std::string& error);

}  // namespace flash
