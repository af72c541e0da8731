#pragma once
// Several boards at once: one worker thread per port, each with its own
// session, link and front end, running the same handler.
#include <functional>
#include <string>
#include <vector>

#include "cli/Cli.h"

namespace flash {
struct Session;
}

namespace flash::cli {

class CliSession;

// The items of a --port list ("COM1,COM2"); empty items are an error.
std::vector<std::string> PortList(const std::string& text);

// Runs handler on every port of options.port at the same time. prepare sets
// up each board's session (false: usage error). The reset prompt is asked once
// for all boards. Prints one line per board (live on a terminal), then a
// summary; MESSFILE.TXT is "OK" only when every board ended OK. Exit status 0
// when every board succeeded, 3 when every failure was a negative check, else 1.
int RunGang(const Options& options, const std::function<bool(CliSession&)>& prepare,
            void (*handler)(Session&));

}  // namespace flash::cli
