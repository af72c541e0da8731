#pragma once
// The device catalogue CHIPDEF.INI: one section per MCU, read by section name
// when needed and checked when listed, so that no later step can index past a
// list or write outside the image because of a bad definition.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Profile.h"

namespace flash {

struct Session;

inline constexpr const char* kCatalogueFile = "CHIPDEF.INI";
inline constexpr std::size_t kMaxAddressItems = 10;

// The line rates the programs use: from the slowest rate of the classic
// table to the fastest that USB serial adapters offer.
inline constexpr int64_t kMinLineRate = 50;
inline constexpr int64_t kMaxLineRate = 12'000'000;
inline bool IsLineRate(int64_t rate) { return rate >= kMinLineRate && rate <= kMaxLineRate; }

struct DeviceDefinition {
  std::string name;  // the section name
  std::string downloadFile;
  uint32_t loadAddress = 0;
  std::vector<uint32_t> regionStarts;
  std::vector<uint32_t> regionEnds;  // inclusive
  std::vector<std::string> clocks;
  std::vector<int32_t> bauds;
  std::vector<int32_t> bauds2;  // empty when absent

  // Boot rate, and working rate (Baud2, else twice Baud), for a crystal;
  // 0 when there is none or it is no line rate (IsLineRate).
  int BootBaud(std::size_t crystal) const;
  int WorkingBaud(std::size_t crystal) const;
};

// Comma lists: runs of commas and leading or trailing commas give no item.
// Address items: signed 32-bit hexadecimal (optional blanks, sign and 0x),
// stopping at the first other character, saturating at 7FFFFFFF.
std::vector<uint32_t> ParseAddressList(std::string_view value);
// Baud items: signed decimal, same rules.
std::vector<int32_t> ParseBaudList(std::string_view value);
// Clock items: exactly as written, blanks included.
std::vector<std::string> ParseClockList(std::string_view value);

// All seven required keys are present with non-empty values.
bool IsCompleteDefinition(profile::Cache& profiles, const std::string& catalogPath,
                          const std::string& section);
bool IsCompleteDefinition(const std::string& catalogPath, const std::string& section);
// The first required key that is missing or empty, in the order they are checked.
std::optional<std::string> FirstMissingKey(const std::string& catalogPath,
                                           const std::string& section);

DeviceDefinition ReadDeviceDefinition(profile::Cache& profiles, const std::string& catalogPath,
                                      const std::string& section);
DeviceDefinition ReadDeviceDefinition(const std::string& catalogPath, const std::string& section);
// From one parse of the catalogue, for a caller that reads many sections at
// one moment (null reads as an empty catalogue).
DeviceDefinition ReadDeviceDefinition(const profile::IniIndex* catalogue, const std::string& section);

// Why a complete definition cannot be used safely; nothing when it can.
std::optional<std::string> DefinitionProblem(const DeviceDefinition& def);

struct SkippedSection {
  std::string name;
  std::string reason;
  bool incomplete = false;  // a missing key: skipped without a word, as always
};

struct CatalogueListing {
  bool readable = false;
  std::vector<std::string> devices;  // upper case, in file order
  std::vector<SkippedSection> skipped;
  // The parse the listing was made from, for reading the listed sections.
  std::shared_ptr<const profile::IniIndex> catalogue;
};

// The whole catalogue is read in one pass over one parse of the file.
CatalogueListing ListDevices(profile::Cache& profiles, const std::string& catalogPath);
CatalogueListing ListDevices(const std::string& catalogPath);

// Reads the section of the device at deviceIndex into the session: load
// address, regions, region texts, crystal list (clamping crystalIndex), image base.
void ApplySelectedDevice(Session& s);

// The definition of the selected device, read afresh.
DeviceDefinition SelectedDevice(const Session& s);

// "%08XH"
std::string AddressText(uint32_t value);

}  // namespace flash
