#include "tools/quenta_render/midi_file.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace qrender {
namespace {

// Files larger than this are refused before reading; real songs are a few hundred kilobytes.
constexpr long kMaxFileSize = 256L * 1024 * 1024;

uint32_t be32(const uint8_t* p) {
  return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | (uint32_t)p[3];
}
uint16_t be16(const uint8_t* p) { return (uint16_t)((p[0] << 8) | p[1]); }

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
  char buf[256];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(buf, sizeof(buf), fmt, args);
  va_end(args);
  return buf;
}

struct TempoChange {
  int64_t tick;
  uint32_t usPerQuarter;
};

struct TimeSig {
  int64_t tick;
  int numerator, denominator;
};

// Reads one track's events. Channel messages go to events; tempo and time signature metas to
// their lists. endTick receives the tick of the track's last event.
class TrackReader {
 public:
  TrackReader(const uint8_t* p, size_t n, int track) : mP(p), mN(n), mTrack(track) {}

  bool read(std::vector<MidiEvent>& events, std::vector<TempoChange>& tempos,
            std::vector<TimeSig>& sigs, int64_t& endTick, std::string& error) {
    int64_t tick = 0;
    int runningStatus = 0;
    while (mPos < mN) {
      uint32_t delta;
      if (!readVarLen(delta, error)) return false;
      tick += delta;
      if (mPos >= mN) return fail(error, "ends inside an event");
      int status = mP[mPos];
      if (status & 0x80) {
        ++mPos;
      } else if (runningStatus) {
        status = runningStatus;  // running status: the byte read is the first data byte
      } else {
        return fail(error,
                    format("has a data byte 0x%02X without a preceding status byte", status));
      }

      if (status < 0xF0) {
        // Channel message. Meta events and SysEx in between keep the running status, as most
        // writers and readers do.
        runningStatus = status;
        int dataBytes = ((status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0) ? 1 : 2;
        if (mPos + (size_t)dataBytes > mN) return fail(error, "ends inside an event");
        MidiEvent ev;
        ev.tick = tick;
        ev.track = mTrack;
        ev.size = dataBytes + 1;
        ev.data[0] = (uint8_t)status;
        for (int i = 0; i < dataBytes; ++i) {
          uint8_t b = mP[mPos++];
          if (b & 0x80)
            return fail(error, format("has a status byte 0x%02X where a data byte belongs", b));
          ev.data[1 + i] = b;
        }
        events.push_back(ev);
      } else if (status == 0xF0 || status == 0xF7) {
        uint32_t len;
        if (!readVarLen(len, error)) return false;
        if (len > mN - mPos) return fail(error, "ends inside a SysEx event");
        mPos += len;  // SysEx is not sent to the instrument
      } else if (status == 0xFF) {
        if (mPos >= mN) return fail(error, "ends inside a meta event");
        int type = mP[mPos++];
        uint32_t len;
        if (!readVarLen(len, error)) return false;
        if (len > mN - mPos) return fail(error, "ends inside a meta event");
        const uint8_t* d = mP + mPos;
        mPos += len;
        if (type == 0x51) {
          if (len != 3) return fail(error, "has a tempo event of the wrong length");
          uint32_t us = ((uint32_t)d[0] << 16) | ((uint32_t)d[1] << 8) | d[2];
          if (us == 0) return fail(error, "has a tempo of 0 microseconds per quarter note");
          tempos.push_back({tick, us});
        } else if (type == 0x58) {
          if (len < 2) return fail(error, "has a time signature event of the wrong length");
          if (d[0] == 0 || d[1] > 6) return fail(error, "has an invalid time signature");
          sigs.push_back({tick, d[0], 1 << d[1]});
        } else if (type == 0x2F) {
          endTick = tick;
          return true;  // End of Track; anything after it in the chunk is ignored
        }
      } else {
        return fail(error,
                    format("has a system message 0x%02X, which has no place in a file", status));
      }
      endTick = tick;
    }
    return true;  // a track without End of Track ends with its chunk
  }

 private:
  bool readVarLen(uint32_t& value, std::string& error) {
    value = 0;
    for (int i = 0; i < 4; ++i) {
      if (mPos >= mN) return fail(error, "ends inside a delta time or length");
      uint8_t b = mP[mPos++];
      value = (value << 7) | (b & 0x7F);
      if (!(b & 0x80)) return true;
    }
    return fail(error, "has a variable-length number longer than 4 bytes");
  }

  bool fail(std::string& error, const std::string& what) {
    error = format("track %d ", mTrack + 1) + what + format(" (at byte %zu of the track)", mPos);
    return false;
  }

  const uint8_t* mP;
  size_t mN;
  size_t mPos = 0;
  int mTrack;
};

}  // namespace

bool parseMidiFile(const uint8_t* data, size_t size, MidiFile& out, std::string& error) {
  out = MidiFile();
  if (size < 14 || std::memcmp(data, "MThd", 4) != 0) {
    error = "not a Standard MIDI File (no MThd header)";
    return false;
  }
  uint32_t headerLen = be32(data + 4);
  if (headerLen < 6 || headerLen > size - 8) {
    error = "malformed MThd header";
    return false;
  }
  int fmt = be16(data + 8);
  int declaredTracks = be16(data + 10);
  uint16_t division = be16(data + 12);
  if (fmt > 2) {
    error = format("unknown MIDI file format %d", fmt);
    return false;
  }
  if (fmt == 2) {
    error = "format 2 (independent sequences) is not supported";
    return false;
  }
  if (division & 0x8000) {
    int fps = -(int8_t)(division >> 8);
    int perFrame = division & 0xFF;
    if ((fps != 24 && fps != 25 && fps != 29 && fps != 30) || perFrame == 0) {
      error = "invalid SMPTE time division";
      return false;
    }
    out.smpteTicksPerSecond = (fps == 29 ? 30000.0 / 1001.0 : fps) * perFrame;
  } else {
    if (division == 0) {
      error = "time division of 0 ticks per quarter note";
      return false;
    }
    out.ticksPerQuarter = division;
  }
  out.format = fmt;

  std::vector<TempoChange> tempos;
  std::vector<TimeSig> sigs;
  std::vector<int64_t> trackEnds;
  size_t pos = 8 + headerLen;
  int track = 0;
  while (pos < size && track < declaredTracks) {
    if (size - pos < 8) {
      error = "truncated chunk header";
      return false;
    }
    uint32_t len = be32(data + pos + 4);
    bool isTrack = std::memcmp(data + pos, "MTrk", 4) == 0;
    pos += 8;
    if (len > size - pos) {
      error = isTrack ? format("track %d is truncated (%u bytes announced, %zu present)", track + 1,
                               len, size - pos)
                      : "truncated chunk";
      return false;
    }
    if (isTrack) {
      int64_t endTick = 0;
      TrackReader reader(data + pos, len, track);
      if (!reader.read(out.events, tempos, sigs, endTick, error)) return false;
      trackEnds.push_back(endTick);
      ++track;
    }
    pos += len;  // chunks of other types are skipped
  }
  if (track < declaredTracks) {
    error = format("truncated: the header announces %d tracks, the file holds %d", declaredTracks,
                   track);
    return false;
  }
  out.trackCount = track;

  // Merge: the tracks were appended one after another, so a stable sort by tick keeps the
  // order of simultaneous events: lower track first, then file order within a track.
  std::stable_sort(out.events.begin(), out.events.end(),
                   [](const MidiEvent& a, const MidiEvent& b) { return a.tick < b.tick; });
  std::stable_sort(tempos.begin(), tempos.end(),
                   [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
  std::stable_sort(sigs.begin(), sigs.end(),
                   [](const TimeSig& a, const TimeSig& b) { return a.tick < b.tick; });

  if (!tempos.empty()) {
    out.hasTempo = true;
    out.firstTempoBpm = 60.0e6 / tempos.front().usPerQuarter;
  }
  if (!sigs.empty()) {
    out.timeSigNumerator = sigs.front().numerator;
    out.timeSigDenominator = sigs.front().denominator;
  }

  // Tick to seconds. With metrical division the tempo map applies (120 bpm before the first
  // tempo event); with SMPTE division ticks are a fixed fraction of a second.
  struct Segment {
    int64_t tick;
    double seconds;
    double secondsPerTick;
  };
  std::vector<Segment> map;
  if (out.ticksPerQuarter > 0) {
    double spt = 0.5 / out.ticksPerQuarter;
    map.push_back({0, 0.0, spt});
    for (const TempoChange& t : tempos) {
      const Segment& last = map.back();
      double at = last.seconds + (double)(t.tick - last.tick) * last.secondsPerTick;
      double next = t.usPerQuarter * 1e-6 / out.ticksPerQuarter;
      if (t.tick == last.tick)
        map.back().secondsPerTick = next;  // a later change at the same tick wins
      else
        map.push_back({t.tick, at, next});
    }
  } else {
    map.push_back({0, 0.0, 1.0 / out.smpteTicksPerSecond});
  }
  auto toSeconds = [&map](int64_t tick) {
    auto it = std::upper_bound(map.begin(), map.end(), tick,
                               [](int64_t t, const Segment& s) { return t < s.tick; });
    const Segment& s = *(it - 1);
    return s.seconds + (double)(tick - s.tick) * s.secondsPerTick;
  };
  for (MidiEvent& ev : out.events) ev.seconds = toSeconds(ev.tick);
  int64_t endTick = 0;
  for (int64_t t : trackEnds) endTick = std::max(endTick, t);
  out.lengthSeconds = toSeconds(endTick);
  return true;
}

bool loadMidiFile(const std::string& path, MidiFile& out, std::string& error) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    error = std::strerror(errno);
    return false;
  }
  std::vector<uint8_t> bytes;
  bool ok = std::fseek(f, 0, SEEK_END) == 0;
  long len = ok ? std::ftell(f) : -1;
  if (len < 0 || std::fseek(f, 0, SEEK_SET) != 0) {
    error = "cannot be read (not a regular file?)";
    std::fclose(f);
    return false;
  }
  if (len > kMaxFileSize) {
    error = "too large for a MIDI file";
    std::fclose(f);
    return false;
  }
  bytes.resize((size_t)len);
  size_t got = len > 0 ? std::fread(bytes.data(), 1, bytes.size(), f) : 0;
  std::fclose(f);
  if (got != bytes.size()) {
    error = "read error";
    return false;
  }
  if (bytes.empty()) {
    error = "empty file";
    return false;
  }
  return parseMidiFile(bytes.data(), bytes.size(), out, error);
}

int64_t secondsToFrame(double seconds, double sampleRate) {
  return (int64_t)std::floor(seconds * sampleRate + 0.5);
}

}  // namespace qrender
