// flashcli ports, and --port naming a device rather than COMn, as a user runs
// them: the fake sysfs and /dev trees describe an FTDI adapter whose node
// leads to a simulated board on a pseudo-terminal.
#include <gtest/gtest.h>

#include <unistd.h>

#include "sim/ControlProgram.h"
#include "support/FakeSysfs.h"
#include "support/ProgramRun.h"
#include "support/SimHarness.h"

namespace flash::test {
namespace {

constexpr const char* kLink = "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
constexpr const char* kOtherLink = "usb-FTDI_FT232R_USB_UART_B7-if00-port0";

class PortsOnDesk : public ::testing::Test {
 protected:
  void SetUp() override {
    cli = InstallProgram(dir, "flashcli");
    dir.Write("CHIPDEF.INI", kSimCatalogue);
    auto program = sim::MakeControlProgram("DEMO_A", "");
    dir.Write("DEMOA.CP", std::string(program.begin(), program.end()));
    board = std::make_unique<SimHarness>(dir.File("CHIPDEF.INI"), "DEMO_A");
    ASSERT_TRUE(board->Start()) << board->Error();
    tree.AddUsb("ttyUSB0", FakeSerialTree::Ftdi("A50285BI", kLink, 16),
                board->SlavePath());
    // COM1 leads nowhere: only the device named on the command line reaches the board.
    dir.Write("Customize.ini", "[Ports]\r\nCOM1=" + dir.File("no-such-tty") +
                                   "\r\nCOM2=" + tree.ById(kLink) + "\r\n");
  }
  ProgramRun Cli(const std::string& args, const FakeSerialTree* other = nullptr) {
    return RunCommand("cd '" + dir.Path() + "' && " + (other ? other : &tree)->Environment() +
                      "./flashcli " + args + " </dev/null");
  }
  static bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
  }

  TempDir dir;
  std::string cli;
  std::unique_ptr<SimHarness> board;
  FakeSerialTree tree;
};

TEST_F(PortsOnDesk, PortsShowsTheAdapterItsComAndWhoHoldsIt) {
  tree.AddSerial8250("ttyS0", 4);
  const ProgramRun r = Cli("ports");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Has(r.out, tree.ById(kLink) + "\n  device         " + tree.Node("ttyUSB0") +
                             " (driver ftdi_sio)\n"))
      << r.out;
  EXPECT_TRUE(Has(r.out, "  usb            0403:6001, serial A50285BI\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "  manufacturer   FTDI\n  product        FT232R USB UART\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "  latency timer  16 ms\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "  COM port       COM2 (section [Ports] of Customize.ini)\n")) << r.out;
  // The board's server keeps the pseudo-terminal open in this process.
  EXPECT_TRUE(Has(r.out, "  access         busy: PID " + std::to_string(::getpid()))) << r.out;
  EXPECT_TRUE(Has(r.out, "warning: the latency timer of this FTDI adapter is 16 ms")) << r.out;
  EXPECT_TRUE(Has(r.out, "packaging/99-flash-serial.rules")) << r.out;
  EXPECT_TRUE(Has(r.out, tree.Sys() + "/bus/usb-serial/devices/ttyUSB0/latency_timer")) << r.out;
  // The on-board UART comes after the adapter, with no latency warning of its own.
  const std::size_t uart = r.out.find(tree.Node("ttyS0") + "\n");
  ASSERT_NE(uart, std::string::npos) << r.out;
  EXPECT_GT(uart, r.out.find(tree.ById(kLink)));
  EXPECT_FALSE(Has(r.out.substr(uart), "warning:")) << r.out;
  EXPECT_TRUE(Has(r.out.substr(uart), "  access         ok\n")) << r.out;
}

TEST_F(PortsOnDesk, PortsWithoutDevicesSaysSo) {
  FakeSerialTree empty;
  const ProgramRun r = Cli("ports", &empty);
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, "no serial devices found (in " + empty.Dev() + ")\n");
}

TEST_F(PortsOnDesk, ADevicePathTakesThePlaceOfTheComMapping) {
  dir.Write("LINKTRACE.TXT", "");
  const ProgramRun r = Cli("--port " + tree.Node("ttyUSB0") + " --no-reset --log prod.jsonl download");
  ASSERT_EQ(r.status, 0) << r.out << board->EventText();
  EXPECT_TRUE(Has(dir.Read("MESSFILE.TXT"), "It transferred a control program")) << r.out;
  // The record names the COMn that [Ports] gives the adapter, and the path used.
  const std::string log = dir.Read("prod.jsonl");
  EXPECT_TRUE(Has(log, "\"port\":\"COM2\"")) << log;
  EXPECT_TRUE(Has(log, "\"device_path\":\"" + tree.Node("ttyUSB0") + "\"")) << log;
  EXPECT_FALSE(dir.Read("LINKTRACE.TXT").empty());  // the named device is traced too
}

TEST_F(PortsOnDesk, AUsbSpecOpensTheAdapterByItsStableName) {
  ProgramRun r = Cli("--port usb:0403:6001 --no-reset --log prod.jsonl download");
  ASSERT_EQ(r.status, 0) << r.out << board->EventText();
  EXPECT_TRUE(Has(dir.Read("prod.jsonl"), "\"device_path\":\"" + tree.ById(kLink) + "\""));

  // A second adapter of the same kind: the serial number tells them apart.
  tree.AddUsb("ttyUSB1", FakeSerialTree::Ftdi("B7", kOtherLink));
  r = Cli("--port usb:0403:6001 --no-reset download");
  EXPECT_EQ(r.status, 2) << r.out;
  EXPECT_TRUE(Has(r.out, "--port usb:0403:6001 matches 2 devices:")) << r.out;
  EXPECT_TRUE(Has(r.out, tree.ById(kLink) + " (ttyUSB0, 0403:6001, serial A50285BI)")) << r.out;
  EXPECT_TRUE(Has(r.out, tree.ById(kOtherLink) + " (ttyUSB1, 0403:6001, serial B7)")) << r.out;
  board->Reset();  // back into the boot ROM for the next download
  r = Cli("--port usb:0403:6001:a50285bi --no-reset download");
  EXPECT_EQ(r.status, 0) << r.out << board->EventText();

  r = Cli("--port usb:0403:6015 --no-reset download");
  EXPECT_EQ(r.status, 2) << r.out;
  EXPECT_TRUE(Has(r.out, "no such USB serial device is present")) << r.out;
  r = Cli("--port usb:ftdi --no-reset download");
  EXPECT_EQ(r.status, 2) << r.out;
  EXPECT_TRUE(Has(r.out, "usb:VID:PID or usb:VID:PID:SERIAL")) << r.out;
}

}  // namespace
}  // namespace flash::test
