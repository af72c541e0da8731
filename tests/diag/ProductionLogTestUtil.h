#pragma once
// What both files of the production log tests need.
#include <string>

#include "diag/ProductionLog.h"

namespace flash::test {

// A record with every field set, and text that needs escaping.
inline LogRecord FullRecord() {
  LogRecord r;
  r.time = "2026-12-09T14:03:07.123+01:00";
  r.host = "bench-3";
  r.port = "COM4";
  r.devicePath = "/dev/ttyUSB0";
  r.device = "DEMO_CHIP";
  r.crystal = "12.000";
  r.command = "auto";
  r.file = "C:\\images\\\"a\".hex";
  r.fileSha256 = std::string(64, 'a');
  r.checksum = 0x1A2B;
  r.serial = 18446744073709551615u;
  r.result = LogResult::Negative;
  r.messageId = 214;
  r.message = "No.004 compare error\r\nat 0x100\tend";
  r.seconds = 12.3456;
  r.bytes = 262144;
  return r;
}

}  // namespace flash::test
