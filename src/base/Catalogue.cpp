#include "base/Catalogue.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "base/FileUtil.h"
#include "base/FlashImage.h"
#include "base/Profile.h"
#include "base/Session.h"

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
  if (crystal >= bauds.size() || !IsLineRate(bauds[crystal])) return 0;
  return bauds[crystal];
}

int DeviceDefinition::WorkingBaud(std::size_t crystal) const {
  // Doubled in 64 bits: a Baud near the top of the 32-bit range would
  // overflow, and its double is no rate anyway.
  int64_t rate = 0;
  if (!bauds2.empty()) rate = crystal < bauds2.size() ? bauds2[crystal] : 0;
  else rate = crystal < bauds.size() ? int64_t{bauds[crystal]} * 2 : 0;
  return IsLineRate(rate) ? static_cast<int>(rate) : 0;
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

namespace {

constexpr const char* kRequiredKeys[] = {"DownloadFile", "LoadAddress", "StartAddress", "EndAddress",
                                         "FlashSize",    "Clock",       "Baud"};

std::string Text(const profile::IniIndex* index, const std::string& section, const char* key,
                 std::size_t maxChars) {
  std::optional<std::string_view> v;
  if (index) v = index->Find(section, key);
  std::string out(v.value_or(std::string_view()));
  if (out.size() > maxChars) out.resize(maxChars);
  return out;
}

std::optional<std::string> MissingKey(const profile::IniIndex* index, const std::string& section) {
  for (const char* key : kRequiredKeys)
    if (Text(index, section, key, kValueChars).empty()) return key;
  return std::nullopt;
}

DeviceDefinition Definition(const profile::IniIndex* index, const std::string& section) {
  DeviceDefinition d;
  d.name = section;
  d.downloadFile = Text(index, section, "DownloadFile", kPathChars);
  std::optional<std::string_view> load;
  if (index) load = index->Find(section, "LoadAddress");
  d.loadAddress = load ? static_cast<uint32_t>(profile::ParseProfileInt(*load)) : 0;
  d.regionStarts = ParseAddressList(Text(index, section, "StartAddress", kValueChars));
  d.regionEnds = ParseAddressList(Text(index, section, "EndAddress", kValueChars));
  d.clocks = ParseClockList(Text(index, section, "Clock", kValueChars));
  d.bauds = ParseBaudList(Text(index, section, "Baud", kValueChars));
  d.bauds2 = ParseBaudList(Text(index, section, "Baud2", kValueChars));
  return d;
}

}  // namespace

std::optional<std::string> FirstMissingKey(const std::string& catalogPath,
                                           const std::string& section) {
  profile::Cache profiles;
  return MissingKey(profiles.Index(catalogPath).get(), section);
}

bool IsCompleteDefinition(profile::Cache& profiles, const std::string& catalogPath,
                          const std::string& section) {
  return !MissingKey(profiles.Index(catalogPath).get(), section);
}

bool IsCompleteDefinition(const std::string& catalogPath, const std::string& section) {
  profile::Cache profiles;
  return IsCompleteDefinition(profiles, catalogPath, section);
}

DeviceDefinition ReadDeviceDefinition(profile::Cache& profiles, const std::string& catalogPath,
                                      const std::string& section) {
  return Definition(profiles.Index(catalogPath).get(), section);
}

DeviceDefinition ReadDeviceDefinition(const profile::IniIndex* catalogue, const std::string& section) {
  return Definition(catalogue, section);
}

DeviceDefinition ReadDeviceDefinition(const std::string& catalogPath, const std::string& section) {
  profile::Cache profiles;
  return ReadDeviceDefinition(profiles, catalogPath, section);
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
  const std::string range =
      " is not a line rate (" + std::to_string(kMinLineRate) + " to " + std::to_string(kMaxLineRate) + " baud)";
  for (std::size_t i = 0; i < d.clocks.size(); ++i) {
    const std::string entry = " entry " + std::to_string(i + 1) + " (";
    const int64_t boot = d.bauds[i];
    if (!IsLineRate(boot)) return "Baud" + entry + std::to_string(boot) + ")" + range;
    if (!d.bauds2.empty()) {
      if (!IsLineRate(d.bauds2[i])) return "Baud2" + entry + std::to_string(d.bauds2[i]) + ")" + range;
    } else if (!IsLineRate(boot * 2)) {
      return "Baud" + entry + std::to_string(boot) + ") doubled, " + std::to_string(boot * 2) +
             "," + range + "; give Baud2";
    }
  }
  return std::nullopt;
}

CatalogueListing ListDevices(profile::Cache& profiles, const std::string& catalogPath) {
  CatalogueListing listing;
  // One parse for the whole listing: a catalogue of thousands of sections
  // must not be read once per value.
  auto index = profiles.Index(catalogPath);
  listing.readable = index != nullptr;
  listing.catalogue = index;
  if (!index) return listing;
  for (const std::string& name : index->SectionNames()) {
    std::string upper = name;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (auto missing = MissingKey(index.get(), name)) {
      listing.skipped.push_back({upper, *missing + " is missing or empty", true});
      continue;
    }
    if (auto problem = DefinitionProblem(Definition(index.get(), name))) {
      listing.skipped.push_back({upper, *problem, false});
      continue;
    }
    listing.devices.push_back(upper);
  }
  return listing;
}

CatalogueListing ListDevices(const std::string& catalogPath) {
  profile::Cache profiles;
  return ListDevices(profiles, catalogPath);
}

std::string AddressText(uint32_t value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08XH", value);
  return buf;
}

DeviceDefinition SelectedDevice(const Session& s) {
  return ReadDeviceDefinition(s.profiles, s.state.catalogPath, s.state.DeviceName());
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
