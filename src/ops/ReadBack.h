#pragma once
// The read data phase shared by Read & Compare and Copy: one 512-byte block
// with its CRC, read again after line errors and, at the user's word, after
// a CRC failure.
#include <cstdint>

#include "base/Messages.h"
#include "link/Primitives.h"

namespace flash {

struct Session;

enum class ReadBackResult { Ok, Cancelled, Failed };

// What the two commands report when the 514-byte read call fails; they differ.
struct ReadBackMessages {
  MessageId readCallFailed;
  ResultKind readCallFailedKind;
};

// Shows position k, then reads the block at address into block (514
// bytes). Failed: reported already.
ReadBackResult ReadBackBlock(Session& s, uint32_t address, int k, uint8_t* block,
                             const ReadBackMessages& messages);

}  // namespace flash
