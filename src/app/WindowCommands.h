#pragma once
// What the main window does for its selection, file and port commands; the
// window calls these and shows the state they leave.
#include <string>
#include <vector>

namespace flash {

struct Session;

// Another entry of the Target MCU list: closes the port, saves the recent
// choices (before the new clock list clamps the crystal), applies the device,
// resets the command buttons.
void OnTargetSelected(Session& s, int deviceIndex);
// Another entry of the Crystal Frequency list.
void OnCrystalSelected(Session& s, int crystalIndex);
// Open: the open-file dialog in the hex file's directory; the recent choices
// are saved whether or not the user chose a file.
void OnOpenHexFile(Session& s);
// Files dropped on the window: the first one, unless it is a directory or
// cannot be looked at. True when the hex file changed.
bool OnDropFiles(Session& s, const std::vector<std::string>& paths);
// Commands 32784..32787: COM1..COM4.
void OnSelectComPort(Session& s, int index);

// The open-file dialog's filter list.
inline constexpr const char* kHexFileFilter =
    "S format files (*.mhx;*.srec;*.cnv;*.ahx)|*.mhx;*.srec;*.cnv;*.ahx|Intel Hex files "
    "(*.hex)|*.hex|all files (*.*)|*.*||";

// Version text of the window and the About box: "V%02d,L%02d", and " b%02d"
// for a pre-release build, from a four-part product version.
std::string VersionText(unsigned major, unsigned minor, unsigned patch, unsigned tweak,
                        bool prerelease);
// The program's own version text.
std::string ProgramVersionText();

}  // namespace flash
