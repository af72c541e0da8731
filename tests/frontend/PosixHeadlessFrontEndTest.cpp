// The console front end as a user sees it on a terminal: a real
// pseudo-terminal stands in for standard error.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>

#include "base/ProgressDialog.h"
#include "frontend/HeadlessFrontEnd.h"

namespace flash::test {
namespace {

class Terminal {
 public:
  Terminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    int slave = open(ptsname(master_), O_RDWR | O_NOCTTY);
    if (slave >= 0) stream_ = fdopen(slave, "w");
    fcntl(master_, F_SETFL, O_NONBLOCK);
  }
  ~Terminal() {
    if (stream_) std::fclose(stream_);
    if (master_ >= 0) close(master_);
  }
  std::FILE* stream() const { return stream_; }
  // Everything written so far, with the terminal's own CR LF for a line feed.
  std::string Screen() {
    std::fflush(stream_);
    char buf[4096];
    ssize_t n;
    while ((n = read(master_, buf, sizeof buf)) > 0) text_.append(buf, static_cast<std::size_t>(n));
    return text_;
  }

 private:
  int master_ = -1;
  std::FILE* stream_ = nullptr;
  std::string text_;
};

TEST(HeadlessFrontEnd, ProgressShowsAStatusAsADialogControlWould) {
  Terminal term;
  ASSERT_NE(term.stream(), nullptr);
  HeadlessFrontEnd ui(term.stream());
  ProgressDialog dialog;
  ASSERT_TRUE(dialog.Open(ui));
  dialog.ShowStatus(" Reading && Comparing");
  dialog.SetBar(0, 8, 1, 2);
  const std::string screen = term.Screen();
  EXPECT_NE(screen.find(" Reading & Comparing  2 / 8 (25%)"), std::string::npos) << screen;
  EXPECT_EQ(screen.find("&&"), std::string::npos) << screen;
}

TEST(HeadlessFrontEnd, AQuestionStartsOnALineOfItsOwn) {
  Terminal term;
  ASSERT_NE(term.stream(), nullptr);
  HeadlessFrontEnd ui(term.stream());
  ProgressDialog dialog;
  ASSERT_TRUE(dialog.Open(ui));
  dialog.ShowStatus(" Programming");
  dialog.SetBar(0, 4, 1, 1);
  ui.ShowMessageBox({"CRC error detected in 0x200\nretry?", "crc checking", BoxButtons::YesNo,
                     BoxIcon::Question, BoxOwner::ProgressDialog});
  ui.LogLine("a note");
  const std::string screen = term.Screen();
  const std::size_t question = screen.find("crc checking: CRC error");
  ASSERT_NE(question, std::string::npos) << screen;
  // The progress line stays, ended by the line feed (CR LF on the terminal).
  EXPECT_EQ(screen.substr(question - 2, 2), "\r\n") << screen;
  EXPECT_NE(screen.find(" Programming  1 / 4 (25%)\r\n"), std::string::npos) << screen;
  // A later note is not glued to anything either.
  EXPECT_NE(screen.find("\r\na note\r\n"), std::string::npos) << screen;
}

}  // namespace
}  // namespace flash::test
