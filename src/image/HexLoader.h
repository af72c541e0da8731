#pragma once
// Filling the flash image from the user's hex file.
#include <cstddef>
#include <cstdint>

namespace flash {

struct Session;

// Fills both image areas with fill, opens hexFilePath, picks the decoder by
// the first character (':' Intel HEX, 'S' S-records) and decodes the whole
// file into the image. True when every line was decoded; false after a
// failure, which has been reported (message box, or the result file in
// unattended runs).
bool LoadHexFile(Session& s, bool fullOperation, uint8_t fill);

enum class PlaceResult { Ok, AddressError };

// Checks one data record against the flash regions of the session and stores
// its bytes. A record that would reach outside both image areas, or wrap past
// 0xFFFFFFFF, is an address error.
PlaceResult PlaceDataRecord(Session& s, uint32_t address, const uint8_t* data, std::size_t count);

}  // namespace flash
