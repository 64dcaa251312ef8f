// Writes the demo piece, resources/demo/demo.mid: a format 1 Standard MIDI File of about 26 s at
// 100 bpm in A minor with chords, a bass line and a melody that uses pitch bend and the
// modulation wheel. Usage: quenta-make-demo-midi [OUTPUT.mid]
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kTicksPerQuarter = 480;
constexpr int kBar = 4 * kTicksPerQuarter;
constexpr int kMicrosPerQuarter = 600000;  // 100 bpm
constexpr int kChordChannel = 0, kMelodyChannel = 1, kBassChannel = 2;
constexpr int kBendCenter = 8192;
constexpr int kModWheel = 1;
// The music starts half a beat (0.3 s) in: a program just loaded glides its filter in over
// 0.1 s from fully open, and a key struck meanwhile clicks.
constexpr int kLeadIn = kTicksPerQuarter / 2;

struct Event {
  int tick;
  std::vector<uint8_t> bytes;
};

class Track {
 public:
  // Every event of the track lies `start` ticks later than the position it is added at.
  explicit Track(int start = 0) : mStart(start) {}

  void meta(int tick, int type, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> b = {0xFF, (uint8_t)type, (uint8_t)data.size()};
    b.insert(b.end(), data.begin(), data.end());
    add(tick, b);
  }
  void name(const std::string& text) {
    meta(0, 0x03, std::vector<uint8_t>(text.begin(), text.end()));
  }
  void note(int channel, int start, int length, int key, int velocity) {
    add(start, {(uint8_t)(0x90 | channel), (uint8_t)key, (uint8_t)velocity});
    // Note-offs as note-ons with velocity 0, so that runs of notes use running status.
    add(start + length, {(uint8_t)(0x90 | channel), (uint8_t)key, 0});
  }
  void controller(int channel, int tick, int number, int value) {
    add(tick, {(uint8_t)(0xB0 | channel), (uint8_t)number, (uint8_t)value});
  }
  void bend(int channel, int tick, int value) {
    value = std::max(0, std::min(16383, value));
    add(tick, {(uint8_t)(0xE0 | channel), (uint8_t)(value & 0x7F), (uint8_t)(value >> 7)});
  }
  // A linear ramp of controller or bend values, one event every 1/32 note.
  template <typename Emit>
  void ramp(int from, int to, int startTick, int endTick, Emit emit) {
    const int step = kTicksPerQuarter / 8;
    for (int t = startTick; t <= endTick; t += step) {
      double x = endTick > startTick ? (double)(t - startTick) / (endTick - startTick) : 1.0;
      emit(t, (int)(from + (to - from) * x + 0.5));
    }
  }

  std::vector<uint8_t> encode() {
    // Note-offs sort before note-ons at the same tick (velocity-0 events first) so that a
    // repeated key is released before it is struck again.
    std::stable_sort(mEvents.begin(), mEvents.end(), [](const Event& a, const Event& b) {
      if (a.tick != b.tick) return a.tick < b.tick;
      return isRelease(a) && !isRelease(b);
    });
    std::vector<uint8_t> out;
    int last = 0;
    uint8_t running = 0;
    for (const Event& e : mEvents) {
      putVarLen(out, e.tick - last);
      last = e.tick;
      uint8_t status = e.bytes[0];
      size_t from = 0;
      if (status < 0xF0 && status == running) from = 1;  // running status
      running = status < 0xF0 ? status : running;
      out.insert(out.end(), e.bytes.begin() + (long)from, e.bytes.end());
    }
    putVarLen(out, 0);
    out.insert(out.end(), {0xFF, 0x2F, 0x00});
    return out;
  }

 private:
  static bool isRelease(const Event& e) {
    return (e.bytes[0] & 0xF0) == 0x90 && e.bytes.size() == 3 && e.bytes[2] == 0;
  }
  static void putVarLen(std::vector<uint8_t>& out, int value) {
    uint8_t buf[4];
    int n = 0;
    buf[n++] = (uint8_t)(value & 0x7F);
    while (value >>= 7) buf[n++] = (uint8_t)((value & 0x7F) | 0x80);
    while (n) out.push_back(buf[--n]);
  }
  void add(int tick, const std::vector<uint8_t>& bytes) {
    mEvents.push_back({mStart + tick, bytes});
  }

  int mStart;
  std::vector<Event> mEvents;
};

void put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back((uint8_t)(v >> s));
}
void put16(std::vector<uint8_t>& out, int v) {
  out.push_back((uint8_t)(v >> 8));
  out.push_back((uint8_t)v);
}

int beats(double b) { return (int)(b * kTicksPerQuarter + 0.5); }

}  // namespace

int main(int argc, char** argv) {
  const char* path = argc > 1 ? argv[1] : "resources/demo/demo.mid";

  Track conductor;
  conductor.name("Quenta demo");
  conductor.meta(0, 0x51,
                 {(uint8_t)(kMicrosPerQuarter >> 16), (uint8_t)(kMicrosPerQuarter >> 8),
                  (uint8_t)kMicrosPerQuarter});
  conductor.meta(0, 0x58, {4, 2, 24, 8});  // 4/4

  // Chords: one voicing per bar, the last one held for two bars.
  const int chords[][4] = {
      {57, 60, 64, 0},   // Am
      {53, 57, 60, 0},   // F
      {55, 60, 64, 0},   // C
      {55, 59, 62, 0},   // G
      {57, 60, 64, 0},   // Am
      {53, 57, 60, 0},   // F
      {53, 57, 62, 0},   // Dm
      {56, 59, 64, 0},   // E
      {57, 60, 64, 69},  // Am, held
  };
  const int bassRoots[] = {45, 41, 48, 43, 45, 41, 38, 40, 33};
  Track harmony(kLeadIn);
  harmony.name("Chords");
  Track bass(kLeadIn);
  bass.name("Bass");
  for (int bar = 0; bar < 9; ++bar) {
    int start = bar * kBar;
    int length = bar == 8 ? 2 * kBar - beats(0.25) : kBar - beats(0.1);
    for (int key : chords[bar])
      if (key) harmony.note(kChordChannel, start, length, key, 64);
    if (bar < 8) {
      bass.note(kBassChannel, start, beats(1.8), bassRoots[bar], 90);
      bass.note(kBassChannel, start + beats(2), beats(1.8), bassRoots[bar] + 12, 80);
    } else {
      bass.note(kBassChannel, start, 2 * kBar - beats(0.25), bassRoots[bar], 90);
    }
  }

  // Melody: (key, length in beats) per bar; a key of 0 is a rest.
  struct Note {
    int key;
    double length;
  };
  const std::vector<std::vector<Note>> melody = {
      {{69, 1}, {72, 1}, {76, 1.5}, {74, 0.5}},
      {{72, 1}, {69, 1}, {65, 2}},
      {{67, 1}, {72, 1}, {76, 1}, {79, 1}},
      {{77, 1.5}, {76, 0.5}, {74, 2}},
      {{76, 1}, {81, 1}, {79, 1}, {76, 1}},
      {{77, 2}, {76, 1}, {72, 1}},
      {{74, 1}, {77, 1}, {81, 2}},
      {{80, 1}, {83, 1}, {76, 2}},
      {{81, 8}},
  };
  Track lead(kLeadIn);
  lead.name("Melody");
  lead.controller(kMelodyChannel, 0, kModWheel, 0);
  lead.bend(kMelodyChannel, 0, kBendCenter);
  int t = 0;
  for (const auto& bar : melody) {
    for (const Note& n : bar) {
      int length = beats(n.length);
      if (n.key) lead.note(kMelodyChannel, t, length - beats(0.05), n.key, 100);
      t += length;
    }
  }
  const int semitone = 4096;  // bend units per semitone with a bend range of 2 semitones
  // Bar 2: the long F swells with the modulation wheel (vibrato) and lets go.
  lead.ramp(0, 90, kBar + beats(2), kBar + beats(3.5),
            [&](int tick, int v) { lead.controller(kMelodyChannel, tick, kModWheel, v); });
  lead.controller(kMelodyChannel, 2 * kBar - beats(0.1), kModWheel, 0);
  // Bar 4: the D scoops up from a semitone below.
  lead.ramp(kBendCenter - semitone, kBendCenter, 3 * kBar + beats(2), 3 * kBar + beats(2.5),
            [&](int tick, int v) { lead.bend(kMelodyChannel, tick, v); });
  // Bar 7: the A bends up a whole tone and back.
  lead.ramp(kBendCenter, kBendCenter + 2 * semitone, 6 * kBar + beats(2.5), 6 * kBar + beats(3),
            [&](int tick, int v) { lead.bend(kMelodyChannel, tick, v); });
  lead.ramp(kBendCenter + 2 * semitone, kBendCenter, 6 * kBar + beats(3.5), 6 * kBar + beats(3.9),
            [&](int tick, int v) { lead.bend(kMelodyChannel, tick, v); });
  // Bar 8: vibrato on the E.
  lead.ramp(0, 70, 7 * kBar + beats(2), 7 * kBar + beats(3.5),
            [&](int tick, int v) { lead.controller(kMelodyChannel, tick, kModWheel, v); });
  lead.controller(kMelodyChannel, 8 * kBar, kModWheel, 0);
  // Bars 9 and 10: the final A swells, then falls by two semitones at the very end.
  lead.ramp(0, 110, 8 * kBar + beats(1), 9 * kBar,
            [&](int tick, int v) { lead.controller(kMelodyChannel, tick, kModWheel, v); });
  lead.ramp(110, 0, 9 * kBar, 9 * kBar + beats(2),
            [&](int tick, int v) { lead.controller(kMelodyChannel, tick, kModWheel, v); });
  lead.ramp(kBendCenter, kBendCenter - 2 * semitone, 9 * kBar + beats(2.5), 10 * kBar - beats(0.25),
            [&](int tick, int v) { lead.bend(kMelodyChannel, tick, v); });
  lead.bend(kMelodyChannel, 10 * kBar, kBendCenter);

  std::vector<Track*> tracks = {&conductor, &harmony, &bass, &lead};
  std::vector<uint8_t> file = {'M', 'T', 'h', 'd'};
  put32(file, 6);
  put16(file, 1);
  put16(file, (int)tracks.size());
  put16(file, kTicksPerQuarter);
  for (Track* tr : tracks) {
    std::vector<uint8_t> body = tr->encode();
    file.insert(file.end(), {'M', 'T', 'r', 'k'});
    put32(file, (uint32_t)body.size());
    file.insert(file.end(), body.begin(), body.end());
  }

  FILE* f = std::fopen(path, "wb");
  if (!f || std::fwrite(file.data(), 1, file.size(), f) != file.size() || std::fclose(f) != 0) {
    std::fprintf(stderr, "make_demo_midi: cannot write %s\n", path);
    return 1;
  }
  std::printf("wrote %s (%zu bytes)\n", path, file.size());
  return 0;
}
