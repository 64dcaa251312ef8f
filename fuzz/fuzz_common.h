#pragma once
// Shared by the fuzz targets: a Quenta instance set up the way a host sets it up, snapshots of
// what a load may change, the round trips every loaded state must survive, and scratch files.
// A failed check calls __builtin_trap(), which libFuzzer reports as a crash with the input.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "plugin/IPlugVST.h"

namespace quenta_fuzz {

void Check(bool cond, const char* what);

// Everything a program or bank load may change.
struct Snapshot {
  std::vector<std::string> names;
  std::vector<bool> initialized;
  std::vector<std::vector<uint8_t>> chunks;
  int current = 0;
  std::vector<double> values;
  bool operator==(const Snapshot& o) const {
    return names == o.names && initialized == o.initialized && chunks == o.chunks &&
           current == o.current && values == o.values;
  }
};
Snapshot Take(const IPlugVST& plug);
// s without the stored states' bytes (a state also records the name of the program current
// when it was written, which is read past, never applied); for a bank, empty names also take
// the name before them, as bank data always does.
Snapshot Comparable(Snapshot s, bool bank);
void CheckSame(const Snapshot& a, const Snapshot& b, const char* what);

// An instrument made through MakePlug as the entry point makes it, then opened, given a sample
// rate and block size and activated. Making one costs more than everything an input does with
// it, so Fresh keeps one per host vendor string and puts it back to its first state.
class Instance {
 public:
  static Instance& Fresh(const char* hostVendor);

  IPlugVST* Plug() { return mPlug; }
  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 idx = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.f);
  // Plays a chord through whatever state was loaded and checks that the output is finite.
  void RenderAndCheck();
  // The instance's own chunk given back must be accepted: a program chunk then reads back
  // the same, a bank chunk leaves programs and sound as they were.
  void CheckChunkRoundTrip(VstInt32 idx);

 private:
  Instance();
  void Restore();
  std::vector<uint8_t> GetChunk(VstInt32 idx);  // what a host would store now

  IPlugVST* mPlug = nullptr;
  AEffect* mEffect = nullptr;
  Snapshot mFirst;
};

// A program (bank) file of any content loaded into a fresh instance: a refused file must leave
// the instrument exactly as it was, an accepted one must survive being saved and loaded again.
void CheckFileLoad(const uint8_t* data, size_t size, bool bank);

// A file path of this process's own under the temporary folder (removed at exit).
std::string ScratchPath(const std::string& suffix);
void WriteScratch(const std::string& path, const uint8_t* data, size_t size);

}  // namespace quenta_fuzz
