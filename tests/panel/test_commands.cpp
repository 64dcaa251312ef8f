// The panel's menus and commands through the headless back end. Every case runs in a home
// folder of its own: commands write the configuration.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "editor/IPopupMenu.h"
#include "editor/quenta.commands.h"
#include "editor/quenta.controls.h"
#include "panel/panel_rig.h"
#include "support/test_files.h"

namespace {

using quenta_test::FreshHome;
using quenta_test::PanelRig;
typedef IGraphicsHeadless::MessageBoxShown Box;
typedef IGraphicsHeadless::FilePromptShown Prompt;

Box LastBox(PanelRig& rig) {
  return rig.gui().MessageBoxes().empty() ? Box{} : rig.gui().MessageBoxes().back();
}
Prompt LastPrompt(PanelRig& rig) {
  return rig.gui().FilePrompts().empty() ? Prompt{} : rig.gui().FilePrompts().back();
}
// The flags of the item shown with text (position prefix ignored) in the last menu.
int ShownFlags(PanelRig& rig, const std::string& text) {
  for (const auto& item : rig.gui().Menus().back().items)
    if (item.text == text) return item.flags;
  ADD_FAILURE() << "no item " << text;
  return -1;
}

// What the last command showed: an address, a file prompt or a box; the home folder as ~.
std::string Shown(PanelRig& rig, const FreshHome& home) {
  IGraphicsHeadless& g = rig.gui();
  std::string s;
  if (!g.URLs().empty()) {
    s = "open " + g.URLs().back();
  } else if (!g.FilePrompts().empty()) {
    const Prompt& p = g.FilePrompts().back();
    s = (p.action == IGraphics::kFileSave ? "save " : "open ") + p.extensions + " '" + p.file + "'";
  } else if (!g.MessageBoxes().empty()) {
    s = g.MessageBoxes().back().caption + ": " + g.MessageBoxes().back().text;
  }
  const std::string& h = home.Path();
  for (size_t at; (at = s.find(h)) != std::string::npos;) s.replace(at, h.size(), "~");
  return s;
}

// Each item of the options menu does its own command and only that.
TEST(Commands, EveryOptionsItemReachesItsCommand) {
  auto copy = [](PanelRig& rig, FreshHome&) { rig.q().copyPreset(); };
  auto name = [](PanelRig& rig, FreshHome&) {
    rig.q().renameProgram(0, "a/b:c?d\"e*f<g>h\\i|j k");  // what file systems refuse goes
  };
  auto startup = [](PanelRig& rig, FreshHome& home) {
    WDL_String bank(home.File("start.fxb").c_str());
    ASSERT_TRUE(rig.q().SaveBankAsFXB(&bank));
    ASSERT_EQ(rig.q().setStartupFxb(bank.Get()), Synth::kConfigOK);
  };
  auto offline = [](PanelRig&, FreshHome&) {
    setenv("QUENTA_VERSION_URL", "http://127.0.0.1:1/version", 1);
  };
  const std::string bank = "The Startup Bank is:\n~/start.fxb\n\nDo you really want to ";
  const std::string ini =
      "The INI configuration file is:\n~/.config/AmberfoldMusic/quenta.ini"
      "\n\nDo you really want to ";
  const struct {
    const char* item;
    std::function<void(PanelRig&, FreshHome&)> arrange;
    std::string shown;
  } cases[] = {
      {"Copy Program", nullptr, ""},
      {"Paste Program", copy,
       "Paste Program: Do you really want to overwrite the current program?"},
      {"Init Program", nullptr,
       "Initialize Program: Do you really want to initialize the current program?"},
      {"Load Program", nullptr, "open fxp ''"},
      {"Save Program", name, "save fxp 'a_b_c_d_e_f_g_h_i_j k'"},
      {"Load Bank", nullptr, "open fxb ''"},
      {"Save Bank", nullptr, "save fxb 'Quenta'"},
      {"Select Startup Bank", nullptr, "open fxb ''"},
      {"Load Startup Bank", startup, "Load Startup Bank: " + bank + "reload all programs?"},
      {"Unselect Startup Bank", startup, "Unselect Startup Bank: " + bank + "unselect it?"},
      {"Default Path for Program Files", nullptr, "save   '[file name is ignored]'"},
      {"Reload Configuration", nullptr, "Reload Configuration: " + ini + "reload it?"},
      {"Save Configuration", nullptr, "Save Configuration: " + ini + "overwrite it?"},
      {"MIDI Thru", nullptr, ""},
      {"Ignore Program Change", nullptr, ""},
      {"Check Online for Update", offline,
       "Check Online for Update: An error occurred while contacting 127.0.0.1."},
      {"Visit www.amberfold.example", nullptr, "open https://www.amberfold.example/"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.item);
    FreshHome home;
    PanelRig rig;
    if (c.arrange) c.arrange(rig, home);
    rig.ChooseOption(c.item);
    unsetenv("QUENTA_VERSION_URL");
    ASSERT_FALSE(rig.gui().Menus().empty());
    EXPECT_TRUE(rig.gui().Menus().back().chosen);
    EXPECT_EQ(Shown(rig, home), c.shown);
    const std::string item = c.item, stored = quenta_test::ReadFile(home.Ini());
    EXPECT_EQ(rig.q().hasCopiedPreset(), item == "Copy Program" || item == "Paste Program");
    EXPECT_EQ(rig.q().getMidiThru(), item == "MIDI Thru");
    EXPECT_EQ(stored.find("MIDI Thru=true") != std::string::npos, item == "MIDI Thru");
    EXPECT_EQ(rig.q().getIgnoreProgramChange(), item == "Ignore Program Change");
    EXPECT_EQ(stored.find("Ignore Program Change=true") != std::string::npos,
              item == "Ignore Program Change");
  }
}

TEST(Commands, PasteIsOfferedOnlyAfterACopyAndNoChangesNothing) {
  FreshHome home;
  PanelRig rig;
  rig.ChooseOption("Paste Program");
  EXPECT_FALSE(rig.gui().Menus().back().chosen);
  EXPECT_EQ(ShownFlags(rig, "Paste Program"), IPopupMenuItem::kDisabled);
  EXPECT_EQ(ShownFlags(rig, "Load Startup Bank"), IPopupMenuItem::kDisabled);

  rig.Set(kCutoff, 0.3);
  rig.ChooseOption("Copy Program");
  rig.Set(kCutoff, 0.7);
  rig.gui().ScriptMessageBox(IGraphics::kResultNo);
  rig.ChooseOption("Paste Program");
  EXPECT_EQ(ShownFlags(rig, "Paste Program"), 0);
  EXPECT_DOUBLE_EQ(rig.Value(kCutoff), 0.7);
  rig.gui().ScriptMessageBox(IGraphics::kResultYes);
  rig.ChooseOption("Paste Program");
  EXPECT_DOUBLE_EQ(rig.Value(kCutoff), 0.3);
  // The knob follows.
  EXPECT_DOUBLE_EQ(rig.One(kCutoff)->GetValue(), 0.3);
}

TEST(Commands, ReloadingAMissingConfigurationKeepsWhatTheUserHad) {
  FreshHome home;
  PanelRig rig;
  rig.q().doMidiLearn(true);
  rig.q().setMidiLearnParam(kFinal);
  rig.q().setMidiLearnCC(7);
  ASSERT_EQ(rig.q().getCCMap(7), kFinal);
  rig.q().setMidiThru(true);
  std::filesystem::remove(home.Ini());
  rig.gui().ScriptMessageBox(IGraphics::kResultYes);
  rig.ChooseOption("Reload Configuration");
  EXPECT_EQ(LastBox(rig).caption, "Problem with INI File");
  EXPECT_EQ(LastBox(rig).text, "The INI file does not exist.");
  EXPECT_EQ(rig.q().getCCMap(7), kFinal);
  EXPECT_TRUE(rig.q().getMidiThru());
}

TEST(Commands, AConfigurationThatCannotBeWrittenIsReported) {
  for (const char* item : {"Save Configuration", "MIDI Thru", "Ignore Program Change",
                           "Default Path for Program Files"}) {
    SCOPED_TRACE(item);
    FreshHome home;
    PanelRig rig;
    // A folder where the file should be: nothing can replace it.
    std::filesystem::remove(home.Ini());
    std::filesystem::create_directory(home.Ini());
    rig.gui().ScriptMessageBox(IGraphics::kResultYes);
    rig.gui().ScriptFile("/tmp/somewhere/x");  // the folder command's answer
    rig.ChooseOption(item);
    EXPECT_EQ(LastBox(rig).caption, "Error");
    EXPECT_EQ(LastBox(rig).text, "Cannot save file!");
    EXPECT_EQ(LastBox(rig).type, IGraphics::kMsgBoxOK);
  }
}

// Programs (options menu) and scales (temperament menu) alike: a cancel changes nothing; a file
// that cannot be loaded is reported and its folder is where the next dialog opens; a saved file
// loads back; a file that cannot be written is reported.
TEST(Commands, FileDialogsRememberTheirFolderAndReportFailures) {
  const struct {
    const char *load, *save, *ext, *proposed;
    bool fromOptions;
  } kinds[] = {{"Load Program", "Save Program", "fxp", "Empty", true},
               {"Load Tuning", "Save Tuning", "scl", "Quenta_tuning", false}};
  for (const auto& k : kinds) {
    SCOPED_TRACE(k.ext);
    FreshHome home;
    PanelRig rig;
    auto choose = [&](const char* item, const std::string& file) {
      rig.gui().ScriptFile(file.c_str());
      if (k.fromOptions) return rig.ChooseOption(item);
      rig.gui().ScriptMenuText(item);
      rig.Click(rig.One(IAFMicroTuningMenu::kIdA)->GetRECT());
    };
    const std::string folder = home.Path() + "/files/", ext = k.ext;
    std::filesystem::create_directory(folder);
    quenta_test::WriteFile(folder + "junk." + ext, "no count here\n");
    choose(k.load, "");
    EXPECT_TRUE(rig.gui().MessageBoxes().empty());
    choose(k.load, folder + "junk." + ext);
    EXPECT_EQ(LastBox(rig).text, "Cannot load file!");
    EXPECT_EQ(rig.q().getMicroTuning(kBlockA), 0);
    rig.Set(kTuneE, 12.0);
    choose(k.save, folder + "mine." + ext);
    EXPECT_EQ(LastPrompt(rig).dir, folder);
    EXPECT_EQ(LastPrompt(rig).file, k.proposed);
    EXPECT_EQ(LastPrompt(rig).extensions, ext);
    rig.Set(kTuneE, 0.0);
    choose(k.load, folder + "mine." + ext);
    EXPECT_NEAR(rig.Value(kTuneE), 12.0, 1e-6);
    choose(k.save, "/nonexistent-folder/x." + ext);
    EXPECT_EQ(LastBox(rig).text, "Cannot save file!");
  }
}

TEST(Commands, TemperamentMenu) {
  FreshHome home;
  PanelRig rig;
  IControl* pMenuB = rig.One(IAFMicroTuningMenu::kIdB);
  rig.gui().ScriptMenuText("Just");
  rig.Click(pMenuB->GetRECT());
  EXPECT_EQ(rig.q().getMicroTuning(kBlockB), 1);
  EXPECT_EQ(rig.q().getMicroTuning(kBlockA), 0);
  // A tuning of no table: "(custom)" is checked but cannot be chosen.
  rig.Set(BlockParam(kBlockB, kTuneE), 3.0);
  rig.gui().ScriptMenuText("(custom)");
  rig.Click(pMenuB->GetRECT());
  EXPECT_FALSE(rig.gui().Menus().back().chosen);
  EXPECT_EQ(ShownFlags(rig, "(custom)"), IPopupMenuItem::kDisabled | IPopupMenuItem::kChecked);
  EXPECT_EQ(ShownFlags(rig, "Just"), 0);
  EXPECT_EQ(rig.Value(BlockParam(kBlockB, kTuneE)), 3.0);
}

TEST(Commands, CopyToBlockMenus) {
  FreshHome home;
  PanelRig rig;
  // Block A's "Cutoff" to Block C: parameter 145 takes the value and Block C's knob follows.
  rig.Set(kCutoff, 0.42);
  rig.gui().ScriptMenuText("Copy to Block C");
  rig.Click(rig.One(kCutoff)->GetRECT(), true);
  EXPECT_EQ(ShownFlags(rig, "Copy to Block A"), IPopupMenuItem::kDisabled);
  EXPECT_DOUBLE_EQ(rig.Value(145), 0.42);
  EXPECT_DOUBLE_EQ(rig.One(145)->GetValue(), 0.42);
  // A tune text knob has the menu too.
  rig.Set(BlockParam(kBlockB, kTuneD), 25.0);
  rig.gui().ScriptMenuText("Copy to Block A");
  rig.Click(rig.One(BlockParam(kBlockB, kTuneD))->GetRECT(), true);
  EXPECT_DOUBLE_EQ(rig.Value(kTuneD), 25.0);
  // A global control has none.
  const size_t menus = rig.gui().Menus().size();
  rig.Click(rig.One(kFinal)->GetRECT(), true);
  EXPECT_EQ(rig.gui().Menus().size(), menus);
  // The Block utility menu copies the whole Block and offers no copy onto itself.
  rig.Set(kPeak, 0.9);
  rig.gui().ScriptMenuText("Copy to Block B");
  rig.Click(rig.One(IAFUtilMenu::kIdA)->GetRECT());
  EXPECT_EQ(ShownFlags(rig, "Copy to Block A"), IPopupMenuItem::kDisabled);
  EXPECT_DOUBLE_EQ(rig.Value(BlockParam(kBlockB, kPeak)), 0.9);
  EXPECT_DOUBLE_EQ(rig.One(BlockParam(kBlockB, kPeak))->GetValue(), 0.9);
}

}  // namespace
