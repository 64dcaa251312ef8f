#pragma once
// Builds Standard MIDI File images byte by byte for the render tests.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace quenta_test::smf {

using Bytes = std::vector<uint8_t>;

inline Bytes varLen(uint32_t v) {
  Bytes rev = {(uint8_t)(v & 0x7F)};
  while (v >>= 7) rev.push_back((uint8_t)((v & 0x7F) | 0x80));
  return Bytes(rev.rbegin(), rev.rend());
}

inline Bytes& append(Bytes& to, const Bytes& more) {
  to.insert(to.end(), more.begin(), more.end());
  return to;
}

inline Bytes be32(uint32_t v) {
  return {(uint8_t)(v >> 24), (uint8_t)(v >> 16), (uint8_t)(v >> 8), (uint8_t)v};
}

// One delta-timed event: the bytes are written as given (leave out the status for running status).
struct Ev {
  uint32_t delta;
  Bytes bytes;
};

inline Bytes trackBody(std::initializer_list<Ev> events, bool endOfTrack = true) {
  Bytes body;
  for (const Ev& e : events) append(append(body, varLen(e.delta)), e.bytes);
  if (endOfTrack) append(body, {0x00, 0xFF, 0x2F, 0x00});
  return body;
}

inline Bytes chunk(const char* tag, const Bytes& body) {
  Bytes c(tag, tag + 4);
  return append(append(c, be32((uint32_t)body.size())), body);
}

inline Bytes track(std::initializer_list<Ev> events, bool endOfTrack = true) {
  return chunk("MTrk", trackBody(events, endOfTrack));
}

inline Bytes header(int format, int tracks, int division) {
  return chunk("MThd", {(uint8_t)(format >> 8), (uint8_t)format, (uint8_t)(tracks >> 8),
                        (uint8_t)tracks, (uint8_t)(division >> 8), (uint8_t)division});
}

// A Set Tempo meta event: its length byte 3 in place of the top byte of the 32-bit value.
inline Bytes tempo(uint32_t microsPerQuarter) {
  Bytes b = be32(microsPerQuarter);
  b[0] = 0x03;
  b.insert(b.begin(), {0xFF, 0x51});
  return b;
}

inline Bytes file(int format, int division, std::initializer_list<Bytes> tracks) {
  Bytes f = header(format, (int)tracks.size(), division);
  for (const Bytes& t : tracks) append(f, t);
  return f;
}

}  // namespace quenta_test::smf
