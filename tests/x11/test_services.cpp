// File dialogs and the browser through the desktop's helpers, played by fake scripts on PATH
// that record their arguments.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "editor_rig.h"
#include "support/test_files.h"

using namespace quenta_test;

namespace {

using quenta_test::WriteFile;

// Fake helpers in a folder put first on PATH (or alone on it), and a folder whose name a shell
// would act on. A fake writes its arguments one per line to the log, prints the answer file and
// exits with the status in the exit file.
class ServicesTest : public SessionTest {
 protected:
  void SetUp() override {
    ASSERT_FALSE(root.empty());
    mkdir(bin.c_str(), 0755);
    mkdir(folder.c_str(), 0755);
    oldPath = getenv("PATH") ? getenv("PATH") : "";
    for (const char* name : {"log", "answer", "exit"})
      setenv(("FAKE_" + std::string(name)).c_str(), (root + "/" + name).c_str(), 1);
    SessionTest::SetUp();
  }
  void TearDown() override {
    SessionTest::TearDown();
    setenv("PATH", oldPath.c_str(), 1);
  }
  void Fake(const char* name) {
    const std::string path = bin + "/" + name;
    WriteFile(path,
              "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$FAKE_log\"\n"
              "[ -f \"$FAKE_answer\" ] && cat \"$FAKE_answer\"\n"
              "exit $(cat \"$FAKE_exit\" 2>/dev/null || echo 0)\n");
    chmod(path.c_str(), 0755);
    setenv("PATH", (bin + ":/usr/bin:/bin").c_str(), 1);  // only the fakes and the shell's tools
  }
  void Answer(const std::string& text, int status = 0) {
    WriteFile(root + "/answer", text);
    WriteFile(root + "/exit", std::to_string(status));
  }
  std::string Log() { return quenta_test::ReadFile(root + "/log"); }

  struct FileAnswer {
    std::atomic<bool> done{false};
    std::string file, dir;
  };
  // Asks for a file from a click on the action control (so that a box it shows can be answered
  // meanwhile) and waits for the answer unless a box is to be answered first.
  std::shared_ptr<FileAnswer> Prompt(IGraphics::EFileAction action, const std::string& proposed,
                                     const char* extensions, bool wait = true) {
    auto out = std::make_shared<FileAnswer>();
    const std::string start = folder;
    ClickAction([=](ActionControl* c) {
      WDL_String file(proposed.c_str()), d(start.c_str());
      c->GetPlug()->GetGUI()->PromptForFile(&file, action, &d, extensions);
      out->file = file.Get();
      out->dir = d.Get();
      out->done = true;
    });
    if (wait) {
      EXPECT_TRUE(EditorSession::WaitFor([&] { return out->done.load(); }));
    }
    return out;
  }

  quenta_test::TempDir dir;
  const std::string root = dir.Path(), bin = root + "/bin", folder = root + "/a b $(touch pwned)";
  std::string oldPath;
};

TEST_F(ServicesTest, ZenityIsAskedWithoutAShellAndItsAnswerFinished) {
  Fake("zenity");
  const struct {
    std::string answer;
    int status;
    std::string expected;
  } cases[] = {
      {folder + "/My Bank\n", 0, folder + "/My Bank.fxb"},  // the first extension appended
      {folder + "/x.FXP\n", 0, folder + "/x.FXP"},          // an allowed one kept
      {folder + "/x.txt\n", 0, folder + "/x.txt.fxb"},
      {"", 1, ""},                        // cancelled
      {folder + "/two\nlines\n", 0, ""},  // a line break in a path: refused
      {"relative.fxb\n", 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    Answer(c.answer, c.status);
    const std::shared_ptr<FileAnswer> a = Prompt(IGraphics::kFileSave, "Init", "fxb fxp");
    EXPECT_EQ(a->file, c.expected);
    EXPECT_EQ(a->dir, c.expected.empty() ? folder : folder + "/");
  }
  EXPECT_EQ(Log(), "--file-selection\n--title=Save\n--save\n--filename=" + folder +
                       "/Init\n--file-filter=*.fxb *.fxp\n");
  EXPECT_NE(access((folder + "/../pwned").c_str(), F_OK), 0);
  EXPECT_NE(access("pwned", F_OK), 0);
}

TEST_F(ServicesTest, OverwritingAnExistingFileIsConfirmed) {
  Fake("zenity");
  const std::string existing = folder + "/old.fxb";
  WriteFile(existing, "bank");
  for (uint32_t key : {(uint32_t)XKB_KEY_Escape, (uint32_t)XKB_KEY_Return}) {  // No, then Yes
    Answer(existing + "\n");
    const std::shared_ptr<FileAnswer> a = Prompt(IGraphics::kFileSave, "old", "fxb", false);
    ASSERT_NE(WaitForWindow(false), 0u);
    rig.Tap(key);
    ASSERT_TRUE(EditorSession::WaitFor([&] { return a->done.load(); }));
    EXPECT_EQ(a->file, key == XKB_KEY_Return ? existing : "");
  }
}

TEST_F(ServicesTest, WithoutHelpersTheBuiltInDialogAsksForThePath) {
  setenv("PATH", bin.c_str(), 1);  // nothing there
  const std::shared_ptr<FileAnswer> a = Prompt(IGraphics::kFileSave, "Init", "fxb", false);
  ASSERT_NE(WaitForWindow(false), 0u);
  rig.Play("BackSpace BackSpace BackSpace BackSpace 'Mine Return");
  ASSERT_TRUE(EditorSession::WaitFor([&] { return a->done.load(); }));
  EXPECT_EQ(a->file, folder + "/Mine.fxb");
  EXPECT_EQ(a->dir, folder + "/");
}

TEST_F(ServicesTest, AddressesGoToXdgOpenAsTheyAre) {
  Fake("xdg-open");
  IGraphics* g = session->Plug().GetGUI();
  const std::string url = "https://example.org/music/vst.html?a=1&b=$(id)";
  bool opened = false;
  session->OnUiThread([&] { opened = g->OpenURL(url.c_str()); });
  EXPECT_TRUE(opened);
  EXPECT_TRUE(EditorSession::WaitFor([&] { return Log() == url + "\n"; })) << Log();
  for (const char* bad :
       {"", "-h", "https://exa mple.org/", "ftp://example.org/", "http://", "/no/such/file"}) {
    session->OnUiThread([&] { opened = g->OpenURL(bad); });
    EXPECT_FALSE(opened) << bad;
  }
  setenv("PATH", root.c_str(), 1);  // no xdg-open at all
  session->OnUiThread([&] { opened = g->OpenURL(url.c_str()); });
  EXPECT_FALSE(opened);
}

}  // namespace
