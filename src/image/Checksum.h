#pragma once
// The 16-bit byte sum of the hex file as it would lie in the flash.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace flash {

struct Session;
struct SessionState;

inline constexpr int kChecksumFailed = 0x10000;

// Loads the hex file over fill and adds up every byte of every region.
// 0..0xFFFF, or kChecksumFailed when the load failed (it has told the user).
int ImageChecksum(Session& s, uint8_t fill);

// The byte sum, modulo 0x10000, of every region of the selected device over
// the image as it stands (no load). Bytes of a region outside both image
// areas, which the catalogue refuses, would count as fill.
int SumRegions(const SessionState& state, uint8_t fill);

// The fill byte typed into the Check SUM dialog: its first two characters
// must be upper-case hex digits ("0"-"9", "A"-"F").
std::optional<uint8_t> ParseFillText(std::string_view fillText);

// What the dialog's "Check SUM" button puts into the result box: "%04X", or
// an empty text for a bad fill text (the file is not read) or a failed load.
std::string CheckSumResultText(Session& s, std::string_view fillText);

}  // namespace flash
