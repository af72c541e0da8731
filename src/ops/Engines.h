#pragma once
// The engines behind the flash commands; Full Operation chains them. Every
// failure has been reported before an engine returns.
#include <cstddef>
#include <cstdint>
#include <string>

namespace flash {

struct Session;

// 0 success; 1 failure; 4 the blank check timed out.
uint8_t EraseFlash(Session& s, bool fullOperation);
uint8_t BlankCheckFlash(Session& s, bool fullOperation);
// 0 success; 1 failure or cancel.
uint8_t ProgramFlash(Session& s, bool fullOperation);
void CompareFlash(Session& s);
int CopyFlash(Session& s);
// 0 every region blank; 1 a region is not blank; 2 the probe failed.
uint32_t ProbeBlank(Session& s);

// Number of 512-byte blocks over all regions of the session.
int BlockCount(const Session& s);

// One S-record line (type 0, 2, 3 or 8) with its line feed.
std::string FormatSRecord(const uint8_t* data, uint32_t address, int type, std::size_t length);
// One Intel HEX data line with its line feed.
std::string FormatIntelData(const uint8_t* data, uint32_t address, std::size_t length);
// One extended linear address line for the address's upper 16 bits.
std::string FormatIntelExtAddress(uint32_t address);

}  // namespace flash
