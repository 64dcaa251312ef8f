#include "tools/quenta_render/render.h"

#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "base/tempfile.h"

namespace qrender {
namespace {

using Clock = std::chrono::steady_clock;

// The temporary file being written, for the signal handler to remove.
char sTempPath[PATH_MAX];
volatile sig_atomic_t sHaveTemp = 0;

extern "C" void removeTempAndDie(int sig) {
  if (sHaveTemp) unlink(sTempPath);
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

const int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The output file, replaced whole when the render is complete (base/tempfile.h); an
// interrupted render removes its temporary file.
class Output {
 public:
  ~Output() { release(); }

  bool open(const std::string& finalPath, std::string& error) {
    mFinal = finalPath;
    if (!mFile.Open(finalPath.c_str())) {
      error = "cannot write " + finalPath + ": " + std::strerror(errno);
      return false;
    }
    const std::string& temp = mFile.TempPath();
    if (temp.empty() || temp.size() >= sizeof(sTempPath)) return true;
    std::memcpy(sTempPath, temp.c_str(), temp.size() + 1);
    sHaveTemp = 1;
    struct sigaction sa;
    std::memset(&sa, 0, sizeof(sa));
    sa.sa_handler = removeTempAndDie;
    sigemptyset(&sa.sa_mask);
    for (size_t i = 0; i < sizeof(kCleanupSignals) / sizeof(kCleanupSignals[0]); ++i)
      sigaction(kCleanupSignals[i], &sa, &mOldActions[i]);
    mHandlersSet = true;
    return true;
  }

  int fd() const { return mFile.Fd(); }

  bool commit(std::string& error) {
    const bool ok = mFile.Commit();
    if (!ok) error = "cannot write " + mFinal + ": " + std::strerror(errno);
    release();
    return ok;
  }

 private:
  void release() {
    mFile.Discard();
    sHaveTemp = 0;
    if (mHandlersSet) {
      for (size_t i = 0; i < sizeof(kCleanupSignals) / sizeof(kCleanupSignals[0]); ++i)
        sigaction(kCleanupSignals[i], &mOldActions[i], nullptr);
      mHandlersSet = false;
    }
  }

  TempFile mFile;
  std::string mFinal;
  bool mHandlersSet = false;
  struct sigaction mOldActions[sizeof(kCleanupSignals) / sizeof(kCleanupSignals[0])];
};

// A one-line bar on stderr, drawn only once a render has taken a moment.
class ProgressBar {
 public:
  explicit ProgressBar(bool enabled) : mEnabled(enabled), mStart(Clock::now()), mLast(mStart) {}

  void update(int64_t done, int64_t total) {
    if (!mEnabled || total <= 0) return;
    Clock::time_point now = Clock::now();
    if (now - mStart < std::chrono::milliseconds(500) ||
        now - mLast < std::chrono::milliseconds(100))
      return;
    mLast = now;
    constexpr int kWidth = 40;
    int filled = (int)(kWidth * done / total);
    char bar[kWidth + 1];
    for (int i = 0; i < kWidth; ++i) bar[i] = i < filled ? '#' : '.';
    bar[kWidth] = '\0';
    std::fprintf(stderr, "\rrendering [%s] %3d%%", bar, (int)(100 * done / total));
    std::fflush(stderr);
    mDrawn = true;
  }

  void finish() {
    if (mDrawn) std::fprintf(stderr, "\r\033[K");
    mDrawn = false;
  }

  ~ProgressBar() { finish(); }

 private:
  bool mEnabled;
  bool mDrawn = false;
  Clock::time_point mStart, mLast;
};

}  // namespace

int64_t renderLength(const MidiFile& song, int sampleRate, double tailSeconds) {
  return secondsToFrame(song.lengthSeconds, sampleRate) + secondsToFrame(tailSeconds, sampleRate);
}

std::vector<TimedEvent> scheduleEvents(const MidiFile& song, int sampleRate, int64_t endFrame) {
  std::vector<TimedEvent> out;
  out.reserve(song.events.size());
  for (const MidiEvent& ev : song.events) {
    int64_t frame = secondsToFrame(ev.seconds, sampleRate);
    if (frame >= endFrame) continue;
    TimedEvent t;
    t.frame = frame;
    std::memset(&t.event, 0, sizeof(t.event));
    t.event.type = kVstMidiType;
    t.event.byteSize = sizeof(VstMidiEvent);
    for (int i = 0; i < ev.size; ++i) t.event.midiData[i] = (char)ev.data[i];
    out.push_back(t);
  }
  return out;
}

void keepChannel(MidiFile& song, int channel) {
  std::vector<MidiEvent> kept;
  for (const MidiEvent& ev : song.events)
    if ((ev.data[0] & 0x0F) == channel - 1) kept.push_back(ev);
  song.events.swap(kept);
}

std::string peakText(double peak) {
  if (!(peak > 0.0)) return "-inf dBFS";
  char buf[32];
  std::snprintf(buf, sizeof(buf), "%.2f dBFS", 20.0 * std::log10(peak));
  return buf;
}

bool renderToFile(PluginHost& host, const MidiFile& song, const RenderSettings& settings,
                  const std::string& outputPath, RenderResult& result, std::string& error) {
  result = RenderResult();
  const int rate = host.sampleRate();
  const int blockSize = host.blockSize();
  int64_t total = renderLength(song, rate, settings.tailSeconds);
  std::vector<TimedEvent> events = scheduleEvents(song, rate, total);

  // The file mixed into is read while the new one is written beside it.
  SNDFILE* under = nullptr;
  SF_INFO underInfo;
  std::memset(&underInfo, 0, sizeof(underInfo));
  if (settings.mix) {
    under = sf_open(outputPath.c_str(), SFM_READ, &underInfo);
    if (!under) {
      error = "cannot mix into " + outputPath + ": " + sf_strerror(nullptr);
      return false;
    }
    if (underInfo.channels != 2 || underInfo.samplerate != rate) {
      sf_close(under);
      error = "cannot mix into " + outputPath + ": it is not a stereo file at " +
              std::to_string(rate) + " Hz";
      return false;
    }
    total = std::max<int64_t>(total, underInfo.frames);
  }
  struct UnderCloser {
    SNDFILE*& f;
    ~UnderCloser() {
      if (f) sf_close(f);
    }
  } underCloser{under};

  Output out;
  if (!out.open(outputPath, error)) return false;
  SF_INFO info;
  std::memset(&info, 0, sizeof(info));
  info.samplerate = rate;
  info.channels = 2;
  info.format =
      SF_FORMAT_WAV | (settings.format == SampleFormat::Pcm24 ? SF_FORMAT_PCM_24 : SF_FORMAT_FLOAT);
  SNDFILE* snd = sf_open_fd(out.fd(), SFM_WRITE, &info, SF_FALSE);
  if (!snd) {
    error = std::string("cannot write ") + outputPath + ": " + sf_strerror(nullptr);
    return false;
  }
  sf_command(snd, SFC_SET_CLIPPING, nullptr, SF_TRUE);  // integer output clips instead of wrapping

  Transport& transport = host.transport();
  transport.tempo = settings.tempo;
  transport.numerator = settings.numerator;
  transport.denominator = settings.denominator;
  transport.samplePos = 0;
  transport.playing = true;
  transport.changed = true;
  host.resume();

  std::vector<float> left((size_t)blockSize), right((size_t)blockSize),
      frames(2 * (size_t)blockSize);
  std::vector<float> underFrames(under ? 2 * (size_t)blockSize : 0);
  std::vector<VstMidiEvent> blockEvents;
  ProgressBar progress(settings.progress);
  Clock::duration inPlugin{0};
  size_t next = 0;
  double peak = 0.0;
  bool writeFailed = false;
  for (int64_t pos = 0; pos < total; pos += blockSize) {
    int n = (int)std::min<int64_t>(blockSize, total - pos);
    transport.samplePos = pos;
    blockEvents.clear();
    while (next < events.size() && events[next].frame < pos + n) {
      VstMidiEvent e = events[next].event;
      e.deltaFrames = (VstInt32)(events[next].frame - pos);
      blockEvents.push_back(e);
      ++next;
    }
    Clock::time_point t0 = Clock::now();
    host.sendMidi(blockEvents);
    host.process(left.data(), right.data(), n);
    inPlugin += Clock::now() - t0;
    transport.changed = false;

    if (under) {
      std::fill(underFrames.begin(), underFrames.end(), 0.0f);
      sf_readf_float(under, underFrames.data(), n);  // past its end the file adds silence
    }
    for (int i = 0; i < n; ++i) {
      float l = left[(size_t)i], r = right[(size_t)i];
      if (under) {
        l += underFrames[2 * (size_t)i];
        r += underFrames[2 * (size_t)i + 1];
      }
      if (!std::isfinite(l) || !std::isfinite(r)) ++result.nonFinite;
      peak = std::max(peak, (double)std::max(std::fabs(l), std::fabs(r)));
      frames[2 * (size_t)i] = l;
      frames[2 * (size_t)i + 1] = r;
    }
    if (sf_writef_float(snd, frames.data(), n) != n) {
      writeFailed = true;
      break;
    }
    progress.update(pos + n, total);
  }
  progress.finish();
  transport.playing = false;
  transport.changed = true;
  host.suspend();

  if (writeFailed) {
    error = std::string("cannot write ") + outputPath + ": " + sf_strerror(snd);
    sf_close(snd);
    return false;
  }
  if (sf_close(snd) != 0) {
    error = std::string("cannot write ") + outputPath;
    return false;
  }
  if (!out.commit(error)) return false;
  result.frames = total;
  result.peak = peak;
  result.processSeconds = std::chrono::duration<double>(inPlugin).count();
  return true;
}

}  // namespace qrender
