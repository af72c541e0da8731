#include "app/Catalogue.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "app/FileUtil.h"
#include "app/Profile.h"
#include "app/Session.h"
#include "image/FlashImage.h"

namespace flash {
namespace {

constexpr std::size_t kValueChars = 255;  // the 256-byte buffer of every catalogue read
constexpr std::size_t kPathChars = 259;

std::vector<std::string_view> SplitItems(std::string_view value) {
  std::vector<std::string_view> items;
  std::size_t pos = 0;
  while (pos <= value.size()) {
    std::size_t comma = value.find(',', pos);
    if (comma == std::string_view::npos) comma = value.size();
    if (comma > pos) items.push_back(value.substr(pos, comma - pos));
    pos = comma + 1;
  }
  return items;
}

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return 99;
}

// strtol with a 32-bit long: saturates at the ends of the signed range.
int32_t ParseSigned(std::string_view t, int base) {
  std::size_t i = 0;
  while (i < t.size() && std::isspace(static_cast<unsigned char>(t[i]))) ++i;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
  if (base == 16 && i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X') &&
      i + 2 < t.size() && DigitValue(t[i + 2]) < 16)
    i += 2;
  int64_t value = 0;
  for (; i < t.size(); ++i) {
    int d = DigitValue(t[i]);
    if (d >= base) break;
    value = value * base + d;
    if (value > 0x80000000LL) value = 0x80000000LL;  // enough to know it saturates
  }
  if (negative) return value >= 0x80000000LL ? INT32_MIN : static_cast<int32_t>(-value);
  return value > 0x7FFFFFFFLL ? INT32_MAX : static_cast<int32_t>(value);
}

bool InImage(uint32_t start, uint32_t end, uint32_t base) {
  if (start >= FlashImage::kHighStart)
    return end - FlashImage::kHighStart < FlashImage::kHighSize;
  return end < FlashImage::kHighStart && end - base < FlashImage::kBaseSize;
}

}  // namespace

int DeviceDefinition::BootBaud(std::size_t crystal) const {
  return crystal < bauds.size() ? bauds[crystal] : 0;
}

int DeviceDefinition::WorkingBaud(std::size_t crystal) const {
  if (!bauds2.empty()) return crystal < bauds2.size() ? bauds2[crystal] : 0;
  return crystal < bauds.size() ? bauds[crystal] * 2 : 0;
}

std::vector<uint32_t> ParseAddressList(std::string_view value) {
  std::vector<uint32_t> out;
  for (auto item : SplitItems(value)) out.push_back(static_cast<uint32_t>(ParseSigned(item, 16)));
  return out;
}

std::vector<int32_t> ParseBaudList(std::string_view value) {
  std::vector<int32_t> out;
  for (auto item : SplitItems(value)) out.push_back(ParseSigned(item, 10));
  return out;
}

std::vector<std::string> ParseClockList(std::string_view value) {
  std::vector<std::string> out;
  for (auto item : SplitItems(value)) out.emplace_back(item);
  return out;
}

std::optional<std::string> FirstMissingKey(const std::string& catalogPath,
                                           const std::string& section) {
  for (const char* key : {"DownloadFile", "LoadAddress", "StartAddress", "EndAddress",
                          "FlashSize", "Clock", "Baud"}) {
    if (profile::GetString(catalogPath, section, key, "", kValueChars).empty()) return key;
  }
  return std::nullopt;
}

bool IsCompleteDefinition(const std::string& catalogPath, const std::string& section) {
  return !FirstMissingKey(catalogPath, section);
}

DeviceDefinition ReadDeviceDefinition(const std::string& catalogPath, const std::string& section) {
  DeviceDefinition d;
  d.name = section;
  d.downloadFile = profile::GetString(catalogPath, section, "DownloadFile", "", kPathChars);
  d.loadAddress = static_cast<uint32_t>(profile::GetInt(catalogPath, section, "LoadAddress", 0));
  d.regionStarts =
      ParseAddressList(profile::GetString(catalogPath, section, "StartAddress", "", kValueChars));
  d.regionEnds =
      ParseAddressList(profile::GetString(catalogPath, section, "EndAddress", "", kValueChars));
  d.clocks = ParseClockList(profile::GetString(catalogPath, section, "Clock", "", kValueChars));
  d.bauds = ParseBaudList(profile::GetString(catalogPath, section, "Baud", "", kValueChars));
  d.bauds2 = ParseBaudList(profile::GetString(catalogPath, section, "Baud2", "", kValueChars));
  return d;
}

std::optional<std::string> DefinitionProblem(const DeviceDefinition& d) {
  if (d.regionStarts.size() > kMaxAddressItems)
    return "StartAddress has more than " + std::to_string(kMaxAddressItems) + " items";
  if (d.regionEnds.size() > kMaxAddressItems)
    return "EndAddress has more than " + std::to_string(kMaxAddressItems) + " items";
  if (d.regionEnds.empty()) return "EndAddress has no items";
  if (d.regionStarts.size() < d.regionEnds.size())
    return "StartAddress has fewer items than EndAddress";
  const uint32_t base = d.regionStarts[0];
  for (std::size_t i = 0; i < d.regionEnds.size(); ++i) {
    uint32_t start = d.regionStarts[i];
    uint32_t end = d.regionEnds[i];
    std::string which = "region " + std::to_string(i + 1);
    if (end < start) return which + " ends before it starts";
    if (i > 0 && start <= d.regionEnds[i - 1])
      return which + " does not lie above region " + std::to_string(i);
    if (!InImage(start, end, base))
      return which + " (" + AddressText(start) + " to " + AddressText(end) +
             ") does not fit the flash image";
  }
  if (d.clocks.empty()) return "Clock has no items";
  if (d.bauds.size() < d.clocks.size()) return "Baud has fewer entries than Clock";
  if (!d.bauds2.empty() && d.bauds2.size() < d.clocks.size())
    return "Baud2 has fewer entries than Clock";
  for (std::size_t i = 0; i < d.clocks.size(); ++i) {
    if (d.BootBaud(i) <= 0) return "Baud entry " + std::to_string(i + 1) + " is not a rate";
    if (d.WorkingBaud(i) <= 0)
      return (d.bauds2.empty() ? "Baud entry " : "Baud2 entry ") + std::to_string(i + 1) +
             " gives no working rate";
  }
  return std::nullopt;
}

CatalogueListing ListDevices(const std::string& catalogPath) {
  CatalogueListing listing;
  listing.readable = IsRegularFile(catalogPath);
  if (!listing.readable) return listing;
  for (const std::string& name : profile::SectionNames(catalogPath)) {
    std::string upper = name;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (auto missing = FirstMissingKey(catalogPath, name)) {
      listing.skipped.push_back({upper, *missing + " is missing or empty", true});
      continue;
    }
    if (auto problem = DefinitionProblem(ReadDeviceDefinition(catalogPath, name))) {
      listing.skipped.push_back({upper, *problem, false});
      continue;
    }
    listing.devices.push_back(upper);
  }
  return listing;
}

std::string AddressText(uint32_t value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08XH", value);
  return buf;
}

DeviceDefinition SelectedDevice(const Session& s) {
  return ReadDeviceDefinition(s.state.catalogPath, s.state.DeviceName());
}

void ApplySelectedDevice(Session& s) {
  SessionState& st = s.state;
  DeviceDefinition d = SelectedDevice(s);
  st.loadAddress = d.loadAddress;
  // The listing checked the definition; the bounds here only guard a file
  // changed on disk since then.
  st.regionStarts.fill(0);
  st.regionEnds.fill(0);
  std::size_t count = std::min({d.regionEnds.size(), d.regionStarts.size(), kMaxRegions});
  for (std::size_t i = 0; i < count; ++i) {
    st.regionStarts[i] = d.regionStarts[i];
    st.regionEnds[i] = d.regionEnds[i];
  }
  st.regionCount = static_cast<int>(count);
  st.image.SetBase(st.regionStarts[0]);

  for (auto& t : st.regionTexts) t.clear();
  auto setTexts = [&](std::size_t k) {
    st.regionTexts[3 * k] = AddressText(st.regionStarts[k]);
    st.regionTexts[3 * k + 1] = AddressText(st.regionEnds[k]);
    st.regionTexts[3 * k + 2] = AddressText(st.regionEnds[k] - st.regionStarts[k] + 1);
  };
  setTexts(0);
  for (std::size_t k = 1; k < kDisplayedRegions; ++k)
    if (count > k) setTexts(k);

  st.crystalTexts = d.clocks;
  if (!st.crystalTexts.empty() &&
      st.crystalIndex > static_cast<int>(st.crystalTexts.size()) - 1)
    st.crystalIndex = static_cast<int>(st.crystalTexts.size()) - 1;
}

}  // namespace flash
