// File dialogs and the browser through the desktop's helpers, played by fake scripts on PATH
// that record their arguments: every argument arrives as it was given (no shell), a cancel
// gives no file, the extension is appended, overwriting is confirmed, kdialog stands in for
// zenity, and the built-in dialog for both.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "editor_rig.h"
#include "plugin/IPlugBase.h"

using namespace x11test;

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream f(path);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}
void WriteFile(const std::string& path, const std::string& text, bool executable = false) {
  std::ofstream(path) << text;
  if (executable) chmod(path.c_str(), 0755);
}

// A folder of fake helpers put first on PATH (or alone on it), a folder for the files, and
// the files through which a fake helper is told what to answer.
class ServicesTest : public SessionTest {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/quenta-helpers-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    root = dir;
    bin = root + "/bin";
    folder = root + "/a b $(touch pwned)";
    mkdir(bin.c_str(), 0755);
    mkdir(folder.c_str(), 0755);
    oldPath = getenv("PATH") ? getenv("PATH") : "";
    setenv("FAKE_LOG", (root + "/log").c_str(), 1);
    setenv("FAKE_ANSWER", (root + "/answer").c_str(), 1);
    setenv("FAKE_EXIT", (root + "/exit").c_str(), 1);
    SessionTest::SetUp();
  }
  void TearDown() override {
    SessionTest::TearDown();
    setenv("PATH", oldPath.c_str(), 1);
    const std::string cmd = "rm -rf '" + root + "'";
    EXPECT_EQ(system(cmd.c_str()), 0);
  }
  // A helper that writes its arguments one per line to the log, prints the answer and exits
  // with the status in the exit file.
  void Fake(const char* name) {
    WriteFile(bin + "/" + name,
              "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$FAKE_LOG\"\n"
              "[ -f \"$FAKE_ANSWER\" ] && cat \"$FAKE_ANSWER\"\nexit $(cat \"$FAKE_EXIT\" 2>/dev/null || echo 0)\n",
              true);
  }
  void Answer(const std::string& text, int status) {
    WriteFile(root + "/answer", text);
    WriteFile(root + "/exit", std::to_string(status));
  }
  // Only the fake helpers can be found (and the shell's own tools for the scripts).
  void UseFakesOnly() { setenv("PATH", (bin + ":/usr/bin:/bin").c_str(), 1); }
  std::string Log() { return ReadFile(root + "/log"); }

  struct FileAnswer {
    std::atomic<bool> done{false};
    std::string file, dir;
  };
  // Asks for a file from a click on the action control (so a box or dialog it shows can be
  // answered meanwhile).
  std::shared_ptr<FileAnswer> Prompt(IGraphics::EFileAction action, const std::string& proposed,
                                     const char* extensions) {
    auto out = std::make_shared<FileAnswer>();
    const std::string dir = folder;
    ClickAction([=](ActionControl* c) {
      WDL_String file(proposed.c_str()), d(dir.c_str());
      c->GetPlug()->GetGUI()->PromptForFile(&file, action, &d, extensions);
      out->file = file.Get();
      out->dir = d.Get();
      out->done = true;
    });
    return out;
  }

  std::string root, bin, folder, oldPath;
};

TEST_F(ServicesTest, ZenityIsAskedWithoutAShellAndItsAnswerFinished) {
  Fake("zenity");
  UseFakesOnly();
  struct Case {
    std::string answer;
    int status;
    std::string expected;
  };
  const Case cases[] = {
      {folder + "/My Bank\n", 0, folder + "/My Bank.fxb"},  // the first extension appended
      {folder + "/x.FXP\n", 0, folder + "/x.FXP"},          // an allowed one kept
      {folder + "/x.txt\n", 0, folder + "/x.txt.fxb"},
      {"", 1, ""},                                          // cancelled
      {folder + "/two\nlines\n", 0, ""},                    // a line break in a path: refused
      {"relative.fxb\n", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    Answer(c.answer, c.status);
    const std::shared_ptr<FileAnswer> answer = Prompt(IGraphics::kFileSave, "Init", "fxb fxp");
    FileAnswer& a = *answer;
    ASSERT_TRUE(EditorSession::WaitFor([&] { return a.done.load(); }));
    EXPECT_EQ(a.file, c.expected);
    EXPECT_EQ(a.dir, c.expected.empty() ? folder : folder + "/");
  }
  EXPECT_EQ(Log(), "--file-selection\n--title=Save\n--save\n--filename=" + folder + "/Init\n--file-filter=*.fxb *.fxp\n");
  EXPECT_NE(access((folder + "/../pwned").c_str(), F_OK), 0);
  EXPECT_NE(access("pwned", F_OK), 0);
}

TEST_F(ServicesTest, OverwritingAnExistingFileIsConfirmed) {
  Fake("zenity");
  UseFakesOnly();
  const std::string existing = folder + "/old.fxb";
  WriteFile(existing, "bank");
  for (uint32_t key : {(uint32_t)XKB_KEY_Escape, (uint32_t)XKB_KEY_Return}) {
    Answer(existing + "\n", 0);
    const std::shared_ptr<FileAnswer> answer = Prompt(IGraphics::kFileSave, "old", "fxb");
    FileAnswer& a = *answer;
    ASSERT_NE(WaitForWindow(false), 0u);
      rig.Tap(key);  // No, then Yes
    ASSERT_TRUE(EditorSession::WaitFor([&] { return a.done.load(); }));
    EXPECT_EQ(a.file, key == XKB_KEY_Return ? existing : "");
  }
}

TEST_F(ServicesTest, KdialogStandsInForZenityAndOpensOnlyExistingFiles) {
  Fake("kdialog");
  UseFakesOnly();
  WriteFile(folder + "/p.fxp", "program");
  for (const char* name : {"p.fxp", "missing.fxp"}) {
    Answer(folder + "/" + name + "\n", 0);
    const std::shared_ptr<FileAnswer> answer = Prompt(IGraphics::kFileOpen, "", "fxp");
    FileAnswer& a = *answer;
    ASSERT_TRUE(EditorSession::WaitFor([&] { return a.done.load(); }));
    EXPECT_EQ(a.file, std::string(name) == "p.fxp" ? folder + "/p.fxp" : "");
  }
  EXPECT_EQ(Log(), "--getopenfilename\n" + folder + "/\n*.fxp\n");
}

TEST_F(ServicesTest, WithoutHelpersTheBuiltInDialogAsksForThePath) {
  setenv("PATH", bin.c_str(), 1);  // nothing there
  const std::shared_ptr<FileAnswer> answer = Prompt(IGraphics::kFileSave, "Init", "fxb");
  FileAnswer& a = *answer;
  ASSERT_NE(WaitForWindow(false), 0u);
  for (int i = 0; i < 4; ++i) rig.Tap(XKB_KEY_BackSpace);
  rig.Type("Mine");
  rig.Tap(XKB_KEY_Return);
  ASSERT_TRUE(EditorSession::WaitFor([&] { return a.done.load(); }));
  EXPECT_EQ(a.file, folder + "/Mine.fxb");
  EXPECT_EQ(a.dir, folder + "/");
}

TEST_F(ServicesTest, AddressesGoToXdgOpenAsTheyAre) {
  Fake("xdg-open");
  UseFakesOnly();
  IGraphics* g = session->Plug().Graphics();
  const std::string url = "https://example.org/music/vst.html?a=1&b=$(id)";
  bool opened = false;
  session->OnUiThread([&] { opened = g->OpenURL(url.c_str()); });
  EXPECT_TRUE(opened);
  EXPECT_TRUE(EditorSession::WaitFor([&] { return Log() == url + "\n"; })) << Log();
  for (const char* bad : {"", "-h", "https://exa mple.org/", "ftp://example.org/", "http://", "/no/such/file"}) {
    session->OnUiThread([&] { opened = g->OpenURL(bad); });
    EXPECT_FALSE(opened) << bad;
  }
  setenv("PATH", root.c_str(), 1);  // no xdg-open at all
  session->OnUiThread([&] { opened = g->OpenURL(url.c_str()); });
  EXPECT_FALSE(opened);
}

}  // namespace
