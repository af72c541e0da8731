// The termios port on pseudo-terminals: exclusive use, COM names, rates, the
// link trace and a pulled cable.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/Session.h"
#include "link/LinkTrace.h"
#include "link/SerialLink.h"
#include "link/SerialPortPosix.h"
#include "link/SystemPort.h"
#include "link/Transport.h"
#include "ops/StandardOutlets.h"
#include "support/Pty.h"
#include "support/SkippingClock.h"
#include "support/TestSession.h"

namespace flash::test {
namespace {

// A session on the system's ports, with COM7 mapped to a pseudo-terminal.
// A real port waits in real time, so the clock is real (fixed delays skipped).
struct PtySession {
  PtySession() {
    t.dir.Write("Customize.ini", "[Ports]\r\nCOM7=" + pty.slavePath + "\r\n");
    ports = MakeSystemPortFactory(t.dir.Path(), clock, nullptr);
    link = std::make_unique<SerialLink>(*ports);
    session = std::make_unique<Session>(t.ui, clock, *link, CommandLine(), StandardOutlets(), &t.ui);
    session->state.programDir = t.dir.Path();
  }
  Pty pty;
  TestSession t;
  SkippingClock clock;
  std::unique_ptr<PortFactory> ports;
  std::unique_ptr<SerialLink> link;
  std::unique_ptr<Session> session;
};

TEST(PosixPort, SecondOpenerIsRefusedUntilTheFirstCloses) {
  Pty pty;
  SystemClock clock;
  std::string reason;
  auto first = OpenPosixPort(pty.slavePath, clock, &reason);
  ASSERT_TRUE(first) << reason;
  // Refused whether or not the test runs as root: TIOCEXCL or the flock holds.
  EXPECT_FALSE(OpenPosixPort(pty.slavePath, clock, &reason));
  first.reset();
  // Closing released both locks.
  EXPECT_TRUE(OpenPosixPort(pty.slavePath, clock, &reason)) << reason;
}

TEST(PosixPort, PortHeldByAnotherProcessGives206) {
  PtySession p;
  int ready[2], release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Only raw system calls after fork.
    int fd = open(p.pty.slavePath.c_str(), O_RDWR | O_NOCTTY);
    char ok = (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 && ioctl(fd, TIOCEXCL) == 0) ? '1' : '0';
    (void)!write(ready[1], &ok, 1);
    char c;
    (void)!read(release[0], &c, 1);
    _exit(0);
  }
  char ok = 0;
  ASSERT_EQ(read(ready[0], &ok, 1), 1);
  ASSERT_EQ(ok, '1');
  EXPECT_EQ(p.link->OpenPort(7, 9600), 206);
  EXPECT_NE(p.link->LastOpenError().find(p.pty.slavePath), std::string::npos);
  (void)!write(release[1], "x", 1);
  int status = 0;
  waitpid(child, &status, 0);
  for (int fd : {ready[0], ready[1], release[0], release[1]}) close(fd);
  EXPECT_EQ(p.link->OpenPort(7, 9600), 0);
}

TEST(PosixPort, ComNumberWithoutMappingNamesTtyS) {
  PtySession p;
  EXPECT_EQ(p.link->OpenPort(64, 9600), 206);
  EXPECT_NE(p.link->LastOpenError().find("/dev/ttyS63"), std::string::npos);
}

TEST(PosixPort, AnyIntegerRateIsAccepted) {
  Pty pty;
  SystemClock clock;
  std::string reason;
  auto port = OpenPosixPort(pty.slavePath, clock, &reason);
  ASSERT_TRUE(port) << reason;
  EXPECT_EQ(port->Configure(250000), 0);
  EXPECT_EQ(port->SetBaudRate(1000000), 0);
  EXPECT_EQ(port->SetBaudRate(31250), 0);
  EXPECT_EQ(port->SetBaudRate(0), 211);
  // A pseudo-terminal keeps no error counters.
  EXPECT_EQ(port->TakeLineErrors(), 0u);
}

TEST(PosixPort, PulledCableFailsTheNextWriteWith216) {
  PtySession p;
  ASSERT_EQ(p.link->OpenPort(7, 9600), 0);
  EXPECT_TRUE(WriteByte(*p.session, 0x18));
  close(p.pty.master);
  p.pty.master = -1;
  EXPECT_FALSE(WriteByte(*p.session, 0x18));
  EXPECT_EQ(p.session->state.lastReportId, 216);
  EXPECT_FALSE(p.link->IsOpen());
}

TEST(LinkTrace, FileInTheProgramDirectorySwitchesItOn) {
  PtySession p;
  ASSERT_EQ(p.link->OpenPort(7, 9600), 0);
  EXPECT_TRUE(WriteByte(*p.session, 0x18));
  p.link->ClosePort();
  EXPECT_FALSE(p.t.dir.Exists(kLinkTraceFile));  // off: nothing written

  p.t.dir.Write(kLinkTraceFile, "");
  ASSERT_EQ(p.link->OpenPort(7, 9600), 0);
  EXPECT_TRUE(WriteByte(*p.session, 0x18));
  ASSERT_EQ(write(p.pty.master, "\x11", 1), 1);
  EXPECT_EQ(ReadByte(*p.session), 0x11);
  EXPECT_EQ(ReadByte(*p.session), 0);
  ASSERT_EQ(p.link->SetBaudRate(19200), 0);
  p.link->ClosePort();
  const std::string trace = p.t.dir.Read(kLinkTraceFile);
  EXPECT_NE(trace.find(" COM7 9600 open\r\n"), std::string::npos) << trace;
  EXPECT_NE(trace.find(" COM7 9600 > 18\r\n"), std::string::npos) << trace;
  EXPECT_NE(trace.find(" COM7 9600 < 11\r\n"), std::string::npos) << trace;
  EXPECT_NE(trace.find(" COM7 9600 < -\r\n"), std::string::npos) << trace;
  EXPECT_NE(trace.find(" COM7 9600 rate 19200\r\n"), std::string::npos) << trace;
}

TEST(LinkTrace, CallerSinkGetsTheSameLines) {
  struct Lines : TraceSink {
    void Line(const std::string& text) override { lines.push_back(text); }
    std::vector<std::string> lines;
  } sink;
  PtySession p;
  p.ports = MakeSystemPortFactory(p.t.dir.Path(), p.clock, &sink);
  SerialLink link(*p.ports);
  ASSERT_EQ(link.OpenPort(7, 115200), 0);
  const uint8_t frame[] = {0x40, 0x00, 0x40};
  EXPECT_TRUE(link.WriteBlock(frame, 3));
  link.ClosePort();
  ASSERT_EQ(sink.lines.size(), 2u);
  // hh:mm:ss.mmm, then the port, the rate and the event.
  EXPECT_EQ(sink.lines[1].size(), std::string("00:00:00.000 COM7 115200 > 40 00 40").size());
  EXPECT_EQ(sink.lines[1].substr(12), " COM7 115200 > 40 00 40");
  EXPECT_FALSE(p.t.dir.Exists(kLinkTraceFile));
}

}  // namespace
}  // namespace flash::test
#endif
