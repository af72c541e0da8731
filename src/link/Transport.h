#pragma once
// Single bytes on the link, and the wait for the target's one-byte answer.
// These report their own failures through ReportResult.
#include <cstddef>
#include <cstdint>

namespace flash {

struct Session;

// One write call of one byte. On failure reports 216 (kind 3) and returns
// false. False without a report once the command has been asked to stop.
bool WriteByte(Session& s, uint8_t value);
// count bytes, one write call each, stopping at the first failed write.
bool WriteBytes(Session& s, const uint8_t* data, std::size_t count);
// Four bytes, least significant first, stopping at the first failed write.
bool WriteUint32(Session& s, uint32_t value);
// One read call of one byte: the byte, or 0 when none came within the port
// time-out. On a failed call reports 218 (kind 2) and returns 0.
uint8_t ReadByte(Session& s);
// ReadByte that also tells a failed call (218 reported, port closed) from
// silence: false when the call failed, or (without a report) when the
// command has been asked to stop. Waits stop on it instead of spinning on a
// closed or hung-up port.
bool TryReadByte(Session& s, uint8_t& value);
// Waits up to timeoutSeconds for the byte expected, skipping 0x00 bytes,
// counted from when the bytes written before it left the port.
// True means failed: 203 on time-out, or 201 with the detail "MCU : %02XH"
// for a wrong answer (both kind 1). A failed read ends the wait at once
// (218 has been reported).
bool WaitForAnswer(Session& s, int timeoutSeconds, uint8_t expected);
// WaitForAnswer for the boot ROM's answer to command (BootAnswer).
bool WaitAnswer(Session& s, int timeoutSeconds, uint8_t command);

}  // namespace flash
