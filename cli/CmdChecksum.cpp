// flashcli checksum: the Check SUM dialog's sum of a file, for build pipelines
// that check a file before it goes to the production line.
#include <cctype>
#include <cstdio>

#include "base/FileUtil.h"
#include "base/Session.h"
#include "cli/CliSession.h"
#include "image/Checksum.h"
#include "image/HexLoader.h"

namespace flash::cli {

// Shared with flashcli decode: the loader has printed the failures it shows
// as boxes; the ones it keeps quiet without a progress window are printed here.
void PrintLoadFailure(const LoadDetails& d) {
  if (!d.shown) std::fprintf(stderr, "%s: %s\n", d.caption.c_str(), d.text.c_str());
}

namespace {

int RunChecksum(const Options& options) {
  uint8_t fill = 0xFF;
  if (options.fill) {
    // The dialog's edit box turns letters into capitals and holds two characters.
    std::string text = *options.fill;
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::optional<uint8_t> parsed = ParseFillText(text);
    if (text.size() != 2 || !parsed) return UsageError("--fill takes two hex digits, not " + *options.fill);
    fill = *parsed;
  }
  int exitCode = 0;
  auto cli = CliSession::Start(options, &exitCode);
  if (!cli) return exitCode;
  Session& s = cli->session();
  s.state.hexFilePath = AbsolutePath(options.positional.at(0));
  s.state.hexFileName = FileNamePart(s.state.hexFilePath);
  LoadDetails details;
  if (!LoadHexFile(s, false, fill, nullptr, &details)) {
    PrintLoadFailure(details);
    return kExitFailure;
  }
  std::printf("%04X\n", static_cast<unsigned>(SumRegions(s.state, fill)));
  return kExitOk;
}

const Registration kChecksum{{"checksum", "FILE",
                              "16-bit byte sum of FILE over the regions (--fill HH, default FF)",
                              1, 1, RunChecksum}};

}  // namespace
}  // namespace flash::cli
