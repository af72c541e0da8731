#include "base/Messages.h"

namespace flash {

std::string_view MessageText(MessageId id) {
  switch (id) {
    case 101: return "version(flash) (&A)...";
    case 201: return " No.001 Download error";
    case 203: return " No.003 timeout error";
    case 206: return " No.006 Unable to open COM port.";
    case 207: return " No.007 Unable to open Download file.";
    case 210: return " No.009 Unable to gain COM port info.";
    case 211: return " No.010 Unable to change COM port setting.";
    case 212: return " No.011 Communication error";
    case 213: return " No.012 Read error";
    case 214: return " No.013 Program error";
    case 216: return " No.015 COM port write error";
    case 218: return " No.016 COM port read error";
    case 219: return " No.018 Erase error";
    case 220: return " No.017 file access error";
    case 227: return " No.207 memory is not available.";
    case 301: return "It Erased a flash";
    case 302: return "A flash is Erased ";
    case 303: return "The Programming ended normally";
    case 305: return "The flash and the hex file are identical";
    case 306: return "It ended normally completely";
    case 307: return "It transferred a control program to the microcomputer";
    case 308: return "The Copy ending";
    case 401: return " No.101 Please set \"hex file\"";
    case 502: return " Decoding HexFile";
    case 510: return " Erasing";
    case 511: return " Blank Checking";
    case 513: return " Programming";
    case 514: return " Reading && Comparing";
    case 516: return " Downloading";
    case 517: return " Copying";
    case 537: return "Please redo from download operation";
    case 542: return "Transfers a control program to the microcomputer";
    case 543: return "Erase a flash ROM";
    case 544: return "Erasure confirmation of the flash ROM";
    case 545: return "Program hex file data in the flash and verify";
    case 546: return "Compares hex file and flash data of the microcomputer";
    case 547: return "Make file the data of flash data of the microcomputer";
    case 548: return "Execute Download and Erase and Blank and Program";
    case 549: return "Set COM port and sound and tooltips";
    case 550: return "Choose a microcomputer";
    case 551: return "Set Rate of the microcomputer";
    case 553: return "Choose a hex file";
    case 554: return "The Programming hex file to the flash";
    case 555: return "The Programming head address";
    case 556: return "The Programming ending address";
    case 557: return "The flash size";
    case 558: return "The entry file has a mistake\nIt returns to the original file";
    case 559: return "Customize setting";
    case 560: return "It was canceled";
    case 564: return "A flash isn't erased";
    case 566: return "There is a point of difference in the flash and the hex file";
    default: return {};
  }
}

}  // namespace flash
