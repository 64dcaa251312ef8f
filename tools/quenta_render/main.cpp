// quenta-render: renders a Standard MIDI File through the Quenta VST 2 plug-in to a WAV file,
// hosting the plug-in as any VST 2 host does.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>

#include "dsp/simd.h"
#include "tools/quenta_render/editor_png.h"
#include "tools/quenta_render/midi_file.h"
#include "tools/quenta_render/options.h"
#include "tools/quenta_render/param_access.h"
#include "tools/quenta_render/preset_file.h"
#include "tools/quenta_render/render.h"
#include "tools/quenta_render/vst_host.h"

namespace {

using namespace qrender;

constexpr int kExitError = 1;
constexpr int kExitUsage = 2;

int failWith(const std::string& message, int code = kExitError) {
  std::fprintf(stderr, "quenta-render: error: %s\n", message.c_str());
  return code;
}

// The plug-in of this build tree: <build>/Quenta.vst/... while the tool is
// <build>/tools/quenta-render.
std::string defaultPluginPath(std::string& looked) {
  char exe[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
  if (n <= 0) return "";
  exe[n] = '\0';
  std::string dir(exe);
  dir = dir.substr(0, dir.find_last_of('/'));
  const char* const kBundleBinary = "Quenta.vst/Contents/x86_64-linux/Quenta.so";
  std::string candidates[] = {dir + "/../" + kBundleBinary, dir + "/" + kBundleBinary};
  for (const std::string& c : candidates)
    if (access(c.c_str(), R_OK) == 0) return c;
  looked = candidates[0];
  return "";
}

// The bundle's Contents folder of a plug-in binary <bundle>/Contents/x86_64-linux/Quenta.so.
std::string bundleContents(const std::string& pluginPath) {
  const size_t slash = pluginPath.find_last_of('/');
  const std::string arch = slash == std::string::npos ? "." : pluginPath.substr(0, slash);
  return arch + "/..";
}

int run(int argc, char** argv) {
  RenderOptions opt;
  std::string error;
  switch (parseCommandLine(argc, argv, opt, error)) {
    case ParseResult::Help: std::fputs(usageText().c_str(), stdout); return 0;
    case ParseResult::Error: return failWith(error, kExitUsage);
    case ParseResult::Ok: break;
  }

  // Everything that can be checked before the plug-in runs is checked first.
  MidiFile song;
  const bool render = !opt.midiPath.empty() && !opt.listParams;
  if (render && !loadMidiFile(opt.midiPath, song, error))
    return failWith(opt.midiPath + ": " + error);
  if (opt.channel > 0) keepChannel(song, opt.channel);
  PresetFile bank, program;
  if (!opt.bankPath.empty() && !loadPresetFile(opt.bankPath, true, bank, error))
    return failWith("bank " + opt.bankPath + ": " + error);
  if (!opt.programPath.empty() && !loadPresetFile(opt.programPath, false, program, error))
    return failWith("program " + opt.programPath + ": " + error);

  std::string pluginPath = opt.pluginPath;
  if (pluginPath.empty()) {
    std::string looked;
    pluginPath = defaultPluginPath(looked);
    if (pluginPath.empty())
      return failWith("no plug-in next to the tool (looked for " + looked + "); use --plugin PATH");
  }
  PluginHost host;
  if (opt.editorPng.empty()) {
    if (!host.load(pluginPath, error)) return failWith(error);
  } else {
    // The panel is drawn by an instance made in this process, with a headless editor that
    // takes its images from the bundle.
    const std::string contents = bundleContents(pluginPath);
    if (!host.attach(
            headlessEditorEntry(contents + "/Resources/img", contents + "/Resources/init.fxb"),
            error))
      return failWith(error);
  }
  if (host.effect()->numOutputs < 1)
    return failWith("the plug-in has no audio outputs: " + pluginPath);
  host.open(opt.sampleRate, opt.blockSize);

  if (!opt.bankPath.empty() && !applyPresetFile(host, bank, opt.programNumber < 0, error))
    return failWith("bank " + opt.bankPath + ": " + error);
  if (opt.programNumber >= 0) {
    int count = host.effect()->numPrograms;
    if (opt.programNumber >= count)
      return failWith("program number " + std::to_string(opt.programNumber) +
                      " out of range (0 to " + std::to_string(count - 1) + ")");
    host.dispatch(effSetProgram, 0, opt.programNumber);
  }
  if (!opt.programPath.empty() && !applyPresetFile(host, program, false, error))
    return failWith("program " + opt.programPath + ": " + error);
  if (!applyAssignments(host, opt.assignments, error)) return failWith(error);

  if (!opt.editorPng.empty()) {
    if (!writeEditorPng(host.effect(), opt.editorPng, error)) return failWith(error);
    if (!opt.quiet) std::printf("wrote the panel to %s\n", opt.editorPng.c_str());
  }
  if (opt.listParams) {
    std::fputs(listParams(host).c_str(), stdout);
    return 0;
  }
  if (!render) return 0;

  RenderSettings settings;
  settings.tempo = opt.tempo > 0.0 ? opt.tempo : song.firstTempoBpm;
  settings.numerator = song.timeSigNumerator;
  settings.denominator = song.timeSigDenominator;
  settings.tailSeconds = opt.tailSeconds;
  settings.format = opt.format;
  settings.progress = !opt.quiet && isatty(STDERR_FILENO);
  settings.mix = opt.mix;
  RenderResult result;
  if (!renderToFile(host, song, settings, opt.outputPath, result, error)) return failWith(error);

  double seconds = (double)result.frames / opt.sampleRate;
  if (result.nonFinite > 0)
    std::fprintf(stderr, "quenta-render: warning: the plug-in produced %lld non-finite samples\n",
                 (long long)result.nonFinite);
  if (!opt.quiet) {
    if (opt.programNumber >= 0) {
      char name[kVstMaxProgNameLen * 4 + 1] = {};
      host.dispatch(effGetProgramName, 0, 0, name);
      name[sizeof(name) - 1] = '\0';
      std::printf("program %d: \"%s\"%s\n", opt.programNumber, name,
                  opt.channel > 0 ? (", MIDI channel " + std::to_string(opt.channel)).c_str() : "");
    }
    std::printf("%s %s: %.2f s, %d Hz, stereo, %s\n", opt.mix ? "mixed into" : "wrote",
                opt.outputPath.c_str(), seconds, opt.sampleRate,
                opt.format == SampleFormat::Pcm24 ? "24-bit PCM" : "32-bit float");
    std::printf("peak level: %s\n", peakText(result.peak).c_str());
  }
  if (opt.bench) {
    double factor = result.processSeconds > 0.0 ? seconds / result.processSeconds : 0.0;
    double nsPerSample =
        result.frames > 0 ? result.processSeconds * 1e9 / (double)result.frames : 0.0;
    std::printf(
        "realtime factor: %.1f (%.1f ns per sample, %.3f s in the plug-in for %.2f s of audio)\n",
        factor, nsPerSample, result.processSeconds, seconds);
    // The plug-in makes the same choice from the same processor and environment.
    const simd::Path path = simd::active();
    std::printf("voice loop: %s, %d voice%s per register\n", simd::name(path), simd::lanes(path),
                simd::lanes(path) == 1 ? "" : "s");
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return run(argc, argv); }
