#pragma once
// How a flash command ended on one board, as flashcli's exit status and a
// multi-board summary count it.
#include <string>

namespace flash {

struct Session;

enum class BoardEnd { Ok, Negative, Failed };

// Whether the message is the success report of a flash command.
bool IsSuccess(int id);

// By the command's last report: a success, a check that ran to its end and
// found the flash not blank or different, or anything else (a stop, a cancel,
// an ending without a report, an error).
BoardEnd EndOf(const Session& s);

// The text that says how it ended: the last report, else the silent ending.
std::string EndText(const Session& s);

}  // namespace flash
