#include "sim/ChipDefinition.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <iterator>
#include <string_view>
#include <utility>

#include "base/Profile.h"
#include "sim/Board.h"
#include "sim/BoardFormat.h"

namespace flash::sim {

namespace {

// The programmer reads a list value into a 256-byte buffer: what lies beyond
// is not part of the list.
constexpr std::size_t kListChars = 255;
constexpr std::size_t kMaxAddressItems = 10;
constexpr int64_t kMinLineRate = 50;
constexpr int64_t kMaxLineRate = 12'000'000;

// The programmer's flash image: 3 MiB from the first region's start and
// 1 MiB from 20000000H up. A region outside it is one it cannot program.
constexpr uint32_t kImageLowSize = 0x300000;
constexpr uint32_t kImageHighStart = 0x20000000;
constexpr uint32_t kImageHighSize = 0x100000;

constexpr const char* kRequiredKeys[] = {"DownloadFile", "LoadAddress", "StartAddress", "EndAddress",
                                         "FlashSize",    "Clock",       "Baud"};

bool IsLineRate(int64_t rate) { return kMinLineRate <= rate && rate <= kMaxLineRate; }

// The items of a comma list, empty ones left out.
std::vector<std::string> Items(std::string_view list) {
  std::vector<std::string> items(1);
  for (char c : list) {
    if (c != ',') items.back() += c;
    else if (!items.back().empty()) items.emplace_back();
  }
  if (items.back().empty()) items.pop_back();
  return items;
}

// An item as strtol reads it with a 32-bit long.
int32_t Number(std::string_view item, int base) {
  auto digit = [&](std::size_t at) -> int {
    if (at >= item.size()) return -1;
    const auto lower = static_cast<char>(std::tolower(static_cast<unsigned char>(item[at])));
    const std::size_t d = std::string_view("0123456789abcdef").find(lower);
    return d < static_cast<std::size_t>(base) ? static_cast<int>(d) : -1;
  };
  std::size_t i = std::min(item.find_first_not_of(" \t\n\v\f\r"), item.size());
  const bool negative = i < item.size() && item[i] == '-';
  if (i < item.size() && (negative || item[i] == '+')) ++i;
  const bool prefix = i + 1 < item.size() && (item[i + 1] == 'x' || item[i + 1] == 'X');
  if (base == 16 && digit(i) == 0 && prefix && digit(i + 2) >= 0) i += 2;
  int64_t value = 0;  // kept at 2^31 once past it: enough to know it saturates
  for (int d = digit(i); d >= 0; d = digit(++i))
    value = std::min(value * base + d, int64_t{1} << 31);
  return static_cast<int32_t>(std::clamp<int64_t>(negative ? -value : value, INT32_MIN, INT32_MAX));
}

template <class T>
std::vector<T> Numbers(std::string_view list, int base) {
  std::vector<T> out;
  for (const std::string& item : Items(list)) out.push_back(static_cast<T>(Number(item, base)));
  return out;
}

// The first check that fails, in the order given.
std::optional<std::string> FirstProblem(std::initializer_list<std::pair<bool, std::string>> checks) {
  for (const auto& [failed, why] : checks)
    if (failed) return why;
  return std::nullopt;
}

bool FitsImage(uint32_t start, uint32_t end, uint32_t base) {
  if (start >= kImageHighStart) return end - kImageHighStart < kImageHighSize;
  return end < kImageHighStart && end - base < kImageLowSize;
}

std::optional<std::string> RegionProblem(const ChipDefinition& d) {
  const std::string most = " has more than " + std::to_string(kMaxAddressItems) + " items";
  if (auto p = FirstProblem({{d.regionStarts.size() > kMaxAddressItems, "StartAddress" + most},
                             {d.regionEnds.size() > kMaxAddressItems, "EndAddress" + most},
                             {d.regionEnds.empty(), "EndAddress has no items"},
                             {d.regionStarts.size() < d.regionEnds.size(),
                              "StartAddress has fewer items than EndAddress"}}))
    return p;
  for (std::size_t i = 0; i < d.regionEnds.size(); ++i) {
    const uint32_t start = d.regionStarts[i];
    const uint32_t end = d.regionEnds[i];
    const std::string region = "region " + std::to_string(i + 1);
    if (auto p = FirstProblem(
            {{end < start, region + " ends before it starts"},
             {i > 0 && start <= d.regionEnds[i - 1],
              region + " does not lie above region " + std::to_string(i)},
             {!FitsImage(start, end, d.regionStarts[0]),
              region + " (" + Hex8(start) + "H to " + Hex8(end) + "H) does not fit the flash image"}}))
      return p;
  }
  return std::nullopt;
}

std::optional<std::string> RateProblem(const ChipDefinition& d) {
  if (auto p = FirstProblem({{d.clocks.empty(), "Clock has no items"},
                             {d.bauds.size() < d.clocks.size(), "Baud has fewer entries than Clock"},
                             {!d.bauds2.empty() && d.bauds2.size() < d.clocks.size(),
                              "Baud2 has fewer entries than Clock"}}))
    return p;
  const std::string noRate = " is not a line rate (" + std::to_string(kMinLineRate) + " to " +
                             std::to_string(kMaxLineRate) + " baud)";
  for (std::size_t i = 0; i < d.clocks.size(); ++i) {
    auto entry = [&](const char* key, int64_t rate) {
      return std::string(key) + " entry " + std::to_string(i + 1) + " (" + std::to_string(rate) + ")";
    };
    const int64_t boot = d.bauds[i];
    const int64_t working = WorkingRate(d, i);
    const bool given = !d.bauds2.empty();
    if (auto p = FirstProblem({{!IsLineRate(boot), entry("Baud", boot) + noRate},
                               {given && !IsLineRate(working), entry("Baud2", working) + noRate},
                               {!given && !IsLineRate(working),
                                entry("Baud", boot) + " doubled, " + std::to_string(working) + "," +
                                    noRate + "; give Baud2"}}))
      return p;
  }
  return std::nullopt;
}

}  // namespace

bool HasRequiredKeys(const profile::IniIndex& catalogue, const std::string& section) {
  return std::all_of(std::begin(kRequiredKeys), std::end(kRequiredKeys), [&](const char* key) {
    auto value = catalogue.Find(section, key);
    return value && !value->empty();
  });
}

ChipDefinition ReadChipDefinition(const profile::IniIndex* catalogue, const std::string& section) {
  auto find = [&](const char* key) {
    return catalogue ? catalogue->Find(section, key) : std::nullopt;
  };
  auto list = [&](const char* key) {
    return find(key).value_or(std::string_view()).substr(0, kListChars);
  };
  ChipDefinition d;
  d.name = section;
  if (auto load = find("LoadAddress"))
    d.loadAddress = static_cast<uint32_t>(profile::ParseProfileInt(*load));
  d.regionStarts = Numbers<uint32_t>(list("StartAddress"), 16);
  d.regionEnds = Numbers<uint32_t>(list("EndAddress"), 16);
  d.clocks = Items(list("Clock"));
  d.bauds = Numbers<int32_t>(list("Baud"), 10);
  d.bauds2 = Numbers<int32_t>(list("Baud2"), 10);
  return d;
}

ChipDefinition ReadChipDefinition(const std::string& catalogPath, const std::string& section) {
  profile::Cache profiles;
  return ReadChipDefinition(profiles.Index(catalogPath).get(), section);
}

std::optional<std::string> ChipProblem(const ChipDefinition& def) {
  if (auto p = RegionProblem(def)) return p;
  return RateProblem(def);
}

int64_t WorkingRate(const ChipDefinition& def, std::size_t crystal) {
  if (!def.bauds2.empty()) return crystal < def.bauds2.size() ? def.bauds2[crystal] : 0;
  return crystal < def.bauds.size() ? int64_t{def.bauds[crystal]} * 2 : 0;
}

std::optional<BoardConfig> ConfigFromDefinition(const ChipDefinition& def, std::size_t crystal,
                                                std::string* problem) {
  auto fail = [&](std::string why) -> std::optional<BoardConfig> {
    if (problem) *problem = std::move(why);
    return std::nullopt;
  };
  if (auto p = ChipProblem(def)) return fail(*p);
  if (crystal >= def.clocks.size())
    return fail("the board's crystal " + std::to_string(crystal) + " is not in the Clock list");
  BoardConfig c;
  c.device = def.name;
  c.loadAddress = def.loadAddress;
  c.clocks = def.clocks;
  c.crystal = crystal;
  std::size_t total = 0;
  for (std::size_t i = 0; i < def.regionEnds.size(); ++i) {
    Region r{def.regionStarts[i], def.regionEnds[i]};
    total += r.Size();
    if (total > kMaxFlashBytes)
      return fail("the flash regions add up to more than " + std::to_string(kMaxFlashBytes) +
                  " bytes");
    c.regions.push_back(r);
  }
  // The checks above leave only line rates.
  for (std::size_t i = 0; i < def.clocks.size(); ++i) {
    c.bootRates.push_back(def.bauds[i]);
    c.workingRates.push_back(static_cast<int>(WorkingRate(def, i)));
  }
  return c;
}

}  // namespace flash::sim
