// The online version check: the service's answer judged, the verdict shown in the editor's
// boxes, the download page offered when a newer release exists.
#include <string>

#include "editor/IGraphics.h"
#include "instrument/synth.h"
#include "online/version_fetch.h"
#include "online/version_verdict.h"

namespace {
const char* const kCheckCaption = "Check Online for Update";
}

int Synth::checkVersionAgainstWeb() {
  IGraphics* pGraphics = GetGUI();
  const std::string url = online::VersionServiceUrl();
  const std::string host = online::HostOfUrl(url);
  const online::FetchResult fetched = online::FetchVersion(url);
  const online::VersionAnswer answer =
      online::JudgeVersionReply(fetched.AsReply(), GetEffectVersion(false));
  auto box = [pGraphics](const std::string& text, const char* caption, int type) {
    return pGraphics ? pGraphics->ShowMessageBox(text.c_str(), caption, type)
                     : (int)IGraphics::kResultCancel;
  };

  switch (answer.verdict) {
    case online::Verdict::kUpToDate:
      box("Your version is up to date.", kCheckCaption, IGraphics::kMsgBoxOK);
      return kVersionChecked;
    case online::Verdict::kNewer: {
      char own[16];
      GetEffectVersionStr(own);  // "v1.2.4"
      const std::string download = online::DownloadPageUrl();
      const std::string site = online::HostOfUrl(download);
      const std::string text =
          std::string("A new version of ") + GetEffectName() + " is available.\n\n" +
          "\tYour version: \t" + (own[0] == 'v' ? own + 1 : own) + "\n" + "\tNew version: \t" +
          answer.newVersion + "\n" + "\nDo you want to go to " + site + " to get the new version?";
      const std::string caption = std::string("New Version of ") + GetEffectName() + " Detected";
      // The page opens only on an explicit Yes: a closed box is a No.
      if (box(text, caption.c_str(), IGraphics::kMsgBoxYesNo) == IGraphics::kResultYes &&
          pGraphics) {
        pGraphics->OpenURL(download.c_str());
      }
      return kVersionChecked;
    }
    case online::Verdict::kInvalid:
      box("Invalid call to " + host + ".", kCheckCaption, IGraphics::kMsgBoxOK);
      return kVersionInvalidReply;
    case online::Verdict::kStreamError:
      box("An error occurred while contacting " + host + ".", kCheckCaption, IGraphics::kMsgBoxOK);
      return kVersionStreamError;
    case online::Verdict::kNoReply:
    default:
      box("An error occurred while contacting " + host + ".", kCheckCaption, IGraphics::kMsgBoxOK);
      return kVersionNoReply;
  }
}
