#pragma once
// The editor's commands: the options, temperament and Block utility menus, the options menu's
// command executor with its confirmations and messages, the scale-file dialogs, and the two
// file-name helpers.
#include <string>

#include "base/wdlstring.h"

class IControl;
class IGraphics;
class Quenta;

namespace File {
// The options menu's commands: a top-level command's value is its position in the menu; the
// MIDI submenu gives 22 and 23, the online submenu 24 and 25.
enum Command {
  kCopyProgram = 0,
  kPasteProgram = 1,
  kInitProgram = 2,
  kLoadProgram = 4,
  kSaveProgram = 5,
  kLoadBank = 6,
  kSaveBank = 7,
  kSelectStartupBank = 9,
  kLoadStartupBank = 10,
  kUnselectStartupBank = 11,
  kProgramFolder = 13,
  kMidiSettings = 14,  // submenu
  kReloadConfig = 15,
  kSaveConfig = 16,
  kGoOnline = 18,  // submenu
  kMidiThru = 22,
  kIgnoreProgramChange = 23,
  kCheckForUpdate = 24,
  kVisitWebsite = 25,
};
}  // namespace File

// The maker's web site (the download page's host), opened by the last item of the options menu.
std::string makerWebsite();

// "Copy to Block A" etc.
std::string copyToBlockText(int block);

// Builds the options menu (pMenu empty), as the options button shows it.
class IPopupMenu;
void buildOptionMenu(Quenta* pQuenta, IPopupMenu* pMenu);
// The command of the item chosen in the options menu (the menu or submenu the platform
// returned), -1 for none.
int optionCommand(IPopupMenu* pTop, IPopupMenu* pChosen);

// The menus of the three buttons: shown at the pointer; the choice is carried out and every
// control is marked for redraw.
void doOptionMenu(Quenta* pQuenta, IGraphics* pGraphics);
void doMicroTuningMenu(Quenta* pQuenta, IGraphics* pGraphics, int block);
void doUtilMenu(Quenta* pQuenta, IGraphics* pGraphics, int block);

// Carries out one options-menu command (File::Command). pControl is not used.
void runCommand(Quenta* pQuenta, IGraphics* pGraphics, IControl* pControl, int command);

// A Block's tuning from or to a Scala scale file chosen in a dialog, with the messages for
// failures; the dialogs start in the folder of the last scale file chosen.
void loadMicroTuning(Quenta* pQuenta, IGraphics* pGraphics, int block);
void saveMicroTuning(Quenta* pQuenta, IGraphics* pGraphics, int block);

// In place: '"', '*', '/', ':', '<', '>', '?', '\\' and '|' become '_'.
void replaceIllegalFileChar(WDL_String* pStr);
// pDest becomes path without its last component and the separator ('/' or '\\', at position
// 1 or later) before it; "" when there is none or the path is shorter than two characters.
void makeNewFilePath(WDL_String* pDest, const char* path);

// The folder of the last program or bank file chosen (for the tests: the process keeps one).
const char* programFolder();
