#pragma once
// A user who cannot write a directory the test made, as an installed
// program's user cannot write its directory. Root writes everywhere, so a
// test run as root (CI) runs that user's part as nobody; any other user runs
// it as itself, with the directory made read-only.
#include <functional>
#include <string>

namespace flash::test {

// Whether the other user is nobody (the tests run as root).
bool OtherUserIsNobody();

// Prefix of a shell command line that runs it as the other user.
std::string AsOtherUser();

// dir (and its parents up to the temporary directory) readable, dir not
// writable for the other user.
void ReadOnlyForOtherUser(const std::string& dir);
// dir readable and writable for the other user.
void WritableForOtherUser(const std::string& dir);

// Runs fn in a child process as the other user and returns what fn
// returned; the child's environment changes stay in the child.
std::string InChildAsOtherUser(const std::function<std::string()>& fn);

}  // namespace flash::test
