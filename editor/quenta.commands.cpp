#include "editor/quenta.commands.h"

#include <memory>
#include <mutex>

#include "dsp/quenta.tuning.h"
#include "editor/IGraphics.h"
#include "editor/IPopupMenu.h"
#include "instrument/quenta.h"
#include "online/version_fetch.h"

std::string makerWebsite() {
  return "https://" + online::HostOfUrl(online::DownloadPageUrl()) + "/";
}

namespace {

const char* const kCannotLoad = "Cannot load file!";
const char* const kCannotSave = "Cannot save file!";
const char* const kErrorCaption = "Error";

// The folder of the last program or bank file chosen. One for the process, as users expect
// every instance's dialogs to open where they last were; all callers are on the user-interface
// thread, the lock only keeps two editors of a host with several such threads apart.
struct ProgramFolder {
  std::mutex mutex;
  bool initialised = false;
  WDL_String path;
};
ProgramFolder& programFolderState() {
  static ProgramFolder folder;
  return folder;
}

void error(IGraphics* pGraphics, const char* text) {
  pGraphics->ShowMessageBox(text, kErrorCaption, IGraphics::kMsgBoxOK);
}

bool confirm(IGraphics* pGraphics, const std::string& text, const char* caption) {
  return pGraphics->ShowMessageBox(text.c_str(), caption, IGraphics::kMsgBoxYesNo) ==
         IGraphics::kResultYes;
}

// "<lead>\n<path>\n\n<question>": built to the path's full length.
std::string aboutFile(const char* lead, const char* path, const char* question) {
  return std::string(lead) + "\n" + (path ? path : "") + "\n\n" + question;
}

// A file dialog starting in *pFolder; returns the chosen path ("" when cancelled) and leaves
// the chosen file's folder in *pFolder only when a file was chosen.
std::string chooseFile(IGraphics* pGraphics, IGraphics::EFileAction action, WDL_String* pFolder,
                       const char* ext, const char* proposed = "") {
  WDL_String file(proposed), dir(pFolder->Get());
  pGraphics->PromptForFile(&file, action, &dir, ext);
  if (file.GetLength() == 0) return "";
  pFolder->Set(dir.Get());
  return file.Get();
}

enum { kMidiSubmenuFirst = File::kMidiThru, kOnlineSubmenuFirst = File::kCheckForUpdate };

}  // namespace

std::string copyToBlockText(int block) {
  return std::string("Copy to Block ") + (char)('A' + block);
}

const char* programFolder() {
  ProgramFolder& f = programFolderState();
  std::lock_guard<std::mutex> lock(f.mutex);
  return f.path.Get();
}

void replaceIllegalFileChar(WDL_String* pStr) {
  if (!pStr) return;
  std::string s(pStr->Get());
  for (char& c : s)
    if (c == '"' || c == '*' || c == '/' || c == ':' || c == '<' || c == '>' || c == '?' ||
        c == '\\' || c == '|')
      c = '_';
  pStr->Set(s.c_str());
}

void makeNewFilePath(WDL_String* pDest, const char* path) {
  if (!pDest) return;
  const std::string p(path ? path : "");
  size_t cut = std::string::npos;
  for (size_t i = p.size(); i-- > 1;) {
    if (p[i] == '/' || p[i] == '\\') {
      cut = i;
      break;
    }
  }
  pDest->Set(p.size() < 2 || cut == std::string::npos ? "" : p.substr(0, cut).c_str());
}

// ---- Options menu ----

void buildOptionMenu(Quenta* pQuenta, IPopupMenu* pMenu) {
  const int off = IPopupMenuItem::kNoFlags, disabled = IPopupMenuItem::kDisabled;
  const bool noStartupBank = !pQuenta->getStartupBankPath()[0];
  pMenu->AddItem("Copy Program");
  pMenu->AddItem("Paste Program", -1, pQuenta->hasCopiedPreset() ? off : disabled);
  pMenu->AddItem("Init Program");
  pMenu->AddSeparator();
  pMenu->AddItem("Load Program");
  pMenu->AddItem("Save Program");
  pMenu->AddItem("Load Bank");
  pMenu->AddItem("Save Bank");
  pMenu->AddSeparator();
  pMenu->AddItem("Select Startup Bank");
  pMenu->AddItem("Load Startup Bank", -1, noStartupBank ? disabled : off);
  pMenu->AddItem("Unselect Startup Bank", -1, noStartupBank ? disabled : off);
  pMenu->AddSeparator();
  pMenu->AddItem("Default Path for Program Files");
  IPopupMenu* pMidi = new IPopupMenu;
  pMidi->AddItem("MIDI Thru")->SetChecked(pQuenta->getMidiThru());
  pMidi->AddItem("Ignore Program Change")->SetChecked(pQuenta->getIgnoreProgramChange());
  pMenu->AddItem("Global MIDI Settings...", pMidi);
  pMenu->AddItem("Reload Configuration");
  pMenu->AddItem("Save Configuration");
  pMenu->AddSeparator();
  IPopupMenu* pOnline = new IPopupMenu;
  pOnline->AddItem("Check Online for Update");
  pOnline->AddItem(("Visit " + online::HostOfUrl(online::DownloadPageUrl())).c_str());
  pMenu->AddItem("Go Online...", pOnline);
}

int optionCommand(IPopupMenu* pTop, IPopupMenu* pChosen) {
  if (!pTop || !pChosen) return -1;
  const int pos = pChosen->GetChosenItemIdx();
  if (pChosen == pTop) return pos;
  const IPopupMenuItem* pMidi = pTop->GetItem(File::kMidiSettings);
  const IPopupMenuItem* pOnline = pTop->GetItem(File::kGoOnline);
  if (pMidi && pChosen == pMidi->GetSubmenu()) return kMidiSubmenuFirst + pos;
  if (pOnline && pChosen == pOnline->GetSubmenu()) return kOnlineSubmenuFirst + pos;
  return -1;
}

void doOptionMenu(Quenta* pQuenta, IGraphics* pGraphics) {
  IPopupMenu menu;
  buildOptionMenu(pQuenta, &menu);
  const int command = optionCommand(&menu, pGraphics->CreateIPopupMenu(&menu, nullptr));
  switch (command) {
    case File::kCopyProgram:
    case File::kPasteProgram:
    case File::kInitProgram:
    case File::kLoadProgram:
    case File::kSaveProgram:
    case File::kLoadBank:
    case File::kSaveBank:
    case File::kSelectStartupBank:
    case File::kLoadStartupBank:
    case File::kUnselectStartupBank:
    case File::kProgramFolder:
    case File::kReloadConfig:
    case File::kSaveConfig:
    case File::kMidiThru:
    case File::kIgnoreProgramChange:
    case File::kCheckForUpdate: runCommand(pQuenta, pGraphics, nullptr, command); break;
    case File::kVisitWebsite: pGraphics->OpenURL(makerWebsite().c_str()); break;
    default: break;
  }
  if (command >= 0) pGraphics->SetAllControlsDirty();
}

void runCommand(Quenta* pQuenta, IGraphics* pGraphics, IControl* /*pControl*/, int command) {
  if (!pQuenta || !pGraphics) return;
  ProgramFolder& folder = programFolderState();
  std::unique_lock<std::mutex> lock(folder.mutex);
  if (!folder.initialised) {
    folder.initialised = true;
    folder.path.Set(pQuenta->getProgramPath());
  }
  // The lock is not held across dialogs and boxes: a copy is worked on.
  WDL_String programs(folder.path.Get());
  lock.unlock();
  auto remember = [&](const WDL_String& path) {
    std::lock_guard<std::mutex> guard(folder.mutex);
    folder.path.Set(path.Get());
  };

  switch (command) {
    case File::kCopyProgram: pQuenta->copyPreset(); break;
    case File::kPasteProgram:
      if (confirm(pGraphics, "Do you really want to overwrite the current program?",
                  "Paste Program"))
        pQuenta->pastePreset();
      break;
    case File::kInitProgram:
      if (confirm(pGraphics, "Do you really want to initialize the current program?",
                  "Initialize Program"))
        pQuenta->initPreset();
      break;
    case File::kLoadProgram:
    case File::kLoadBank: {
      const bool bank = command == File::kLoadBank;
      WDL_String file(
          chooseFile(pGraphics, IGraphics::kFileOpen, &programs, bank ? "fxb" : "fxp").c_str());
      if (!file.GetLength()) break;
      remember(programs);
      const bool ok = bank ? pQuenta->LoadBankFromFXB(&file) : pQuenta->LoadProgramFromFXP(&file);
      if (!ok) error(pGraphics, kCannotLoad);
      break;
    }
    case File::kSaveProgram:
    case File::kSaveBank: {
      const bool bank = command == File::kSaveBank;
      WDL_String proposed(bank ? "Quenta" : pQuenta->GetPresetName(pQuenta->GetCurrentPresetIdx()));
      replaceIllegalFileChar(&proposed);
      WDL_String file(chooseFile(pGraphics, IGraphics::kFileSave, &programs, bank ? "fxb" : "fxp",
                                 proposed.Get())
                          .c_str());
      if (!file.GetLength()) break;
      remember(programs);
      pQuenta->ModifyCurrentPreset();
      const bool ok = bank ? pQuenta->SaveBankAsFXB(&file) : pQuenta->SaveProgramAsFXP(&file);
      if (!ok) error(pGraphics, kCannotSave);
      break;
    }
    case File::kSelectStartupBank: {
      WDL_String start(programs.Get());
      const std::string file = chooseFile(pGraphics, IGraphics::kFileOpen, &start, "fxb");
      if (file.empty()) break;
      const int result = pQuenta->setStartupFxb(file.c_str());
      if (result == Synth::kStartupBankInvalid) error(pGraphics, kCannotLoad);
      if (result == Synth::kStartupBankUnwritable) error(pGraphics, kCannotSave);
      break;
    }
    case File::kLoadStartupBank:
      if (confirm(pGraphics,
                  aboutFile("The Startup Bank is:", pQuenta->getStartupBankPath(),
                            "Do you really want to reload all programs?"),
                  "Load Startup Bank")) {
        WDL_String bank(pQuenta->getStartupBankPath());
        if (!pQuenta->LoadBankFromFXB(&bank)) error(pGraphics, kCannotLoad);
      }
      break;
    case File::kUnselectStartupBank:
      if (confirm(pGraphics,
                  aboutFile("The Startup Bank is:", pQuenta->getStartupBankPath(),
                            "Do you really want to unselect it?"),
                  "Unselect Startup Bank"))
        pQuenta->unsetStartupFxb();
      break;
    case File::kProgramFolder: {
      WDL_String start(programs.GetLength() ? programs.Get() : pQuenta->getHomePath());
      const std::string file =
          chooseFile(pGraphics, IGraphics::kFileSave, &start, " ", "[file name is ignored]");
      if (file.empty()) break;
      makeNewFilePath(&programs, file.c_str());
      remember(programs);
      if (!pQuenta->storeProgramPath(&programs)) error(pGraphics, kCannotSave);
      break;
    }
    case File::kReloadConfig:
      // A missing file is reported before anything is reset: reading it would only bring the
      // defaults, and the next save would make that loss permanent.
      if (!Synth::fileExists(WDL_String(pQuenta->getIniPath()))) {
        pGraphics->ShowMessageBox("The INI file does not exist.", "Problem with INI File",
                                  IGraphics::kMsgBoxOK);
        break;
      }
      if (confirm(pGraphics,
                  aboutFile("The INI configuration file is:", pQuenta->getIniPath(),
                            "Do you really want to reload it?"),
                  "Reload Configuration") &&
          pQuenta->loadConfig() == Synth::kConfigMissing)
        pGraphics->ShowMessageBox("The INI file does not exist.", "Problem with INI File",
                                  IGraphics::kMsgBoxOK);
      break;
    case File::kSaveConfig:
      if (confirm(pGraphics,
                  aboutFile("The INI configuration file is:", pQuenta->getIniPath(),
                            "Do you really want to overwrite it?"),
                  "Save Configuration") &&
          !pQuenta->saveConfig(Synth::kSaveAll))
        error(pGraphics, kCannotSave);
      break;
    case File::kMidiThru:
      pQuenta->setMidiThru(!pQuenta->getMidiThru());
      if (!pQuenta->saveConfig(Synth::kSaveMidiThru)) error(pGraphics, kCannotSave);
      break;
    case File::kIgnoreProgramChange:
      pQuenta->setIgnoreProgramChange(!pQuenta->getIgnoreProgramChange());
      if (!pQuenta->saveConfig(Synth::kSaveIgnoreProgramChange)) error(pGraphics, kCannotSave);
      break;
    case File::kCheckForUpdate: pQuenta->checkVersionAgainstWeb(); break;
    default: break;
  }
}

// ---- Temperaments and scale files ----

namespace {
enum { kCustomItem = kNumMicroTunings, kFileItem = kNumMicroTunings + 2 };
enum { kLoadTuning = 0, kSaveTuning = 1 };
}  // namespace

void doMicroTuningMenu(Quenta* pQuenta, IGraphics* pGraphics, int block) {
  IPopupMenu menu;
  for (int t = 0; t < kNumMicroTunings; ++t) menu.AddItem(descMicroTuning[t]);
  menu.AddItem("(custom)", -1, IPopupMenuItem::kDisabled);
  menu.AddSeparator();
  IPopupMenu* pFile = new IPopupMenu;
  pFile->AddItem("Load Tuning");
  pFile->AddItem("Save Tuning");
  menu.AddItem("File", pFile);
  const int current = pQuenta->getMicroTuning(block);
  menu.CheckItemAlone(current < 0 ? kCustomItem : current);

  IPopupMenu* pChosen = pGraphics->CreateIPopupMenu(&menu, nullptr);
  if (!pChosen) return;
  const int pos = pChosen->GetChosenItemIdx();
  if (pChosen == pFile && pos == kLoadTuning) loadMicroTuning(pQuenta, pGraphics, block);
  if (pChosen == pFile && pos == kSaveTuning) saveMicroTuning(pQuenta, pGraphics, block);
  if (pChosen == &menu) pQuenta->setMicroTuning(block, pos);
  pGraphics->SetAllControlsDirty();
}

void loadMicroTuning(Quenta* pQuenta, IGraphics* pGraphics, int block) {
  WDL_String* pFolder = &pQuenta->editorControls().scaleFolder;
  const std::string file = chooseFile(pGraphics, IGraphics::kFileOpen, pFolder, "scl");
  if (file.empty()) return;
  if (!pQuenta->loadMicroTuningFile(block, file.c_str())) error(pGraphics, kCannotLoad);
}

void saveMicroTuning(Quenta* pQuenta, IGraphics* pGraphics, int block) {
  WDL_String* pFolder = &pQuenta->editorControls().scaleFolder;
  const std::string file =
      chooseFile(pGraphics, IGraphics::kFileSave, pFolder, "scl", "Quenta_tuning");
  if (file.empty()) return;
  if (!pQuenta->saveMicroTuningFile(block, file.c_str())) error(pGraphics, kCannotSave);
}

// ---- Block utilities ----

void doUtilMenu(Quenta* pQuenta, IGraphics* pGraphics, int block) {
  IPopupMenu menu;
  for (int b = 0; b < kNumBlocks; ++b)
    menu.AddItem(copyToBlockText(b).c_str(), -1,
                 b == block ? IPopupMenuItem::kDisabled : IPopupMenuItem::kNoFlags);
  IPopupMenu* pChosen = pGraphics->CreateIPopupMenu(&menu, nullptr);
  if (!pChosen) return;
  pQuenta->runUtilCommand(block, pChosen->GetChosenItemIdx());
  pGraphics->SetAllControlsDirty();
}
