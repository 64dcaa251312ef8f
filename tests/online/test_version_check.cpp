// The online version check: the verdict on every kind of answer, the fetch's safeguards against
// a service that never answers or answers without end (a loopback server plays it), and what
// the instrument tells the user in its boxes.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "editor/platform/headless.h"
#include "instrument/synth.h"
#include "online/version_fetch.h"
#include "online/version_verdict.h"

using online::Verdict;

namespace {

constexpr int kOwnVersion = 0x10204;  // 1.2.4

TEST(VersionVerdict, EveryKindOfAnswer) {
  const struct {
    const char* what;
    long status;
    std::string body;
    bool transferFailed, overflowed;
    Verdict verdict;
    const char* newVersion;
    int own = kOwnVersion;  // the threshold follows our own version, not a fixed number
  } cases[] = {
      {"same release", 200, "1204", false, false, Verdict::kUpToDate, ""},
      {"older release", 200, "1199", false, false, Verdict::kUpToDate, ""},
      {"next patch", 200, "1205", false, false, Verdict::kNewer, "1.2.5"},
      {"two-digit patch", 200, "1310", false, false, Verdict::kNewer, "1.3.10"},
      {"patch above 99, below the next minor", 200, "12100", false, false, Verdict::kNewer,
       "1.2.100"},
      {"surrounding white space", 200, " 1205\r\n", false, false, Verdict::kNewer, "1.2.5"},
      {"an HTML page", 200, "<html><body>1300</body></html>", false, false, Verdict::kInvalid, ""},
      {"a plain-text error page", 404, "Not Found", false, false, Verdict::kInvalid, ""},
      {"a number behind an error status", 500, "1300", false, false, Verdict::kInvalid, ""},
      {"twenty digits", 200, "12345678901234567890", false, false, Verdict::kInvalid, ""},
      {"three digits", 200, "999", false, false, Verdict::kInvalid, ""},
      {"digits and words", 200, "1205 beta", false, false, Verdict::kInvalid, ""},
      {"a sign", 200, "+1205", false, false, Verdict::kInvalid, ""},
      {"an oversized body", 200, "1205", false, true, Verdict::kInvalid, ""},
      {"an empty body", 200, "", false, false, Verdict::kNoReply, ""},
      {"no connection", 0, "", true, false, Verdict::kNoReply, ""},
      {"broken off midway", 200, "12", true, false, Verdict::kStreamError, ""},
      {"ours is 1.3.10", 200, "1310", false, false, Verdict::kUpToDate, "", 0x1030A},
      {"ours is 1.3.9", 200, "1310", false, false, Verdict::kNewer, "1.3.10", 0x10309},
  };
  for (const auto& c : cases) {
    online::VersionReply reply = {c.transferFailed, c.overflowed, c.status, c.body.data(),
                                  c.body.size()};
    const online::VersionAnswer a = online::JudgeVersionReply(reply, c.own);
    EXPECT_EQ(a.verdict, c.verdict) << c.what;
    EXPECT_STREQ(a.newVersion, c.newVersion) << c.what;
  }
}

// One connection on a loopback port: reads the request, then sends the response, or keeps
// silent when there is none, or floods with an endless body. Every wait is short, so that the
// destructor can stop it.
class LoopbackServer {
 public:
  explicit LoopbackServer(std::string response, bool flood = false)
      : mResponse(std::move(response)), mFlood(flood) {
    mListen = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(addr);
    if (bind(mListen, (sockaddr*)&addr, len) == 0 && listen(mListen, 1) == 0 &&
        getsockname(mListen, (sockaddr*)&addr, &len) == 0) {
      mUrl = "http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) +
             "/music/version/?file=quenta";
      mThread = std::thread([this] { Serve(); });
    }
  }
  ~LoopbackServer() {
    mStop = true;
    if (mThread.joinable()) mThread.join();
    close(mListen);
  }
  const std::string& Url() const { return mUrl; }
  const std::string& Request() const { return mRequest; }

 private:
  bool Ready(int fd, short events) {
    pollfd p = {fd, events, 0};
    for (int i = 0; i < 200 && !mStop; ++i)
      if (poll(&p, 1, 100) > 0) return true;
    return false;
  }
  void Serve() {
    const int fd = Ready(mListen, POLLIN) ? accept(mListen, nullptr, nullptr) : -1;
    if (fd < 0) return;
    char buf[2048];
    ssize_t n = 0;
    while (mRequest.find("\r\n\r\n") == std::string::npos && Ready(fd, POLLIN) &&
           (n = recv(fd, buf, sizeof(buf), 0)) > 0)
      mRequest.append(buf, (size_t)n);
    if (mFlood) {
      mResponse = "HTTP/1.1 200 OK\r\nContent-Length: 1048576\r\n\r\n" + std::string(1 << 20, '1');
    }
    if (mResponse.empty()) {  // silent until the client gives up
      while (Ready(fd, POLLIN) && recv(fd, buf, sizeof(buf), 0) > 0) continue;
    }
    for (size_t sent = 0; sent < mResponse.size() && n >= 0 && Ready(fd, POLLOUT); sent += n)
      n = send(fd, mResponse.data() + sent, mResponse.size() - sent, MSG_NOSIGNAL);
    close(fd);
  }

  std::string mResponse, mRequest, mUrl;
  bool mFlood;
  int mListen = -1;
  std::atomic<bool> mStop{false};
  std::thread mThread;
};

TEST(VersionFetch, AServiceThatNeverAnswersTimesOutAndAnEndlessBodyIsCut) {
  LoopbackServer silent("");
  online::FetchLimits limits;
  limits.totalTimeoutMs = 500;
  online::FetchResult r = online::FetchVersion(silent.Url(), limits);
  EXPECT_TRUE(r.transferFailed);
  EXPECT_EQ(online::JudgeVersionReply(r.AsReply(), kOwnVersion).verdict, Verdict::kNoReply);

  LoopbackServer flood("", true);
  r = online::FetchVersion(flood.Url());
  EXPECT_TRUE(r.overflowed);
  EXPECT_LE(r.body.size(), online::FetchLimits().maxBodyBytes);
  EXPECT_EQ(online::JudgeVersionReply(r.AsReply(), kOwnVersion).verdict, Verdict::kInvalid);
}

// The instrument's check against a loopback service, its boxes answered by a scripted editor.
TEST(VersionCheck, TheInstrumentShowsTheVerdictAndOpensThePageOnlyOnYes) {
  const std::string ok = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\n";
  const char *kNew = "New Version of Quenta Detected", *kCheck = "Check Online for Update";
  const std::string newer = "A new version of Quenta is available.\n\n\tYour version: \t1.2.4\n";
  const struct {
    const char* what;
    std::string response;  // "" for a service that is not there
    int boxAnswer, status;
    const char* caption;
    std::string textStart;
    bool opensPage;
  } cases[] = {
      {"newer, Yes", ok + "1205", 6, 0, kNew,
       newer + "\tNew version: \t1.2.5\n\nDo you want to go to www.amberfold.example", true},
      {"newer, No", ok + "1310", 7, 0, kNew, newer + "\tNew version: \t1.3.10\n", false},
      {"newer, box closed", ok + "1205", 2, 0, kNew, newer, false},
      {"same", ok + "1204", 1, 0, kCheck, "Your version is up to date.", false},
      {"error page", "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nNot Found", 1, -3, kCheck,
       "Invalid call to 127.0.0.1.", false},
      {"no service", "", 1, -1, kCheck, "An error occurred while contacting 127.0.0.1.", false},
  };
  std::unique_ptr<IPlugVST> plug(MakePlug(IPlugInstanceInfo{}));
  Synth* synth = dynamic_cast<Synth*>(plug.get());
  ASSERT_NE(synth, nullptr);
  IGraphicsHeadless* gui = new IGraphicsHeadless(plug.get(), 1480, 660);
  plug->AttachGraphics(gui);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::unique_ptr<LoopbackServer> server;
    if (!c.response.empty()) server.reset(new LoopbackServer(c.response));
    // Without a server: the discard port, refused.
    setenv("QUENTA_VERSION_URL",
           server ? server->Url().c_str() : "http://127.0.0.1:9/music/version/?file=quenta", 1);
    const size_t boxes = gui->MessageBoxes().size(), urls = gui->URLs().size();
    gui->ScriptMessageBox(c.boxAnswer);
    EXPECT_EQ(synth->checkVersionAgainstWeb(), c.status);
    if (server) {
      EXPECT_EQ(server->Request().rfind("GET /music/version/?file=quenta HTTP/1.1\r\n", 0), 0u)
          << server->Request();
    }
    ASSERT_EQ(gui->MessageBoxes().size(), boxes + 1);
    EXPECT_EQ(gui->MessageBoxes().back().caption, c.caption);
    EXPECT_EQ(gui->MessageBoxes().back().text.rfind(c.textStart, 0), 0u)
        << gui->MessageBoxes().back().text;
    EXPECT_EQ(gui->URLs().size(), urls + (c.opensPage ? 1 : 0));
    if (c.opensPage) {
      EXPECT_EQ(gui->URLs().back(), online::DownloadPageUrl());
    }
  }
  unsetenv("QUENTA_VERSION_URL");
}

}  // namespace
