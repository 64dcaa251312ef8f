#pragma once
// Shared by the fuzz targets: a Quenta instance set up the way a host sets it up, the checks
// every target makes after feeding it hostile data, and scratch files for the file loaders.
//
// A failed check calls __builtin_trap(), which libFuzzer reports as a crash with the input.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "plugin/IPlugVST.h"

namespace quenta_fuzz {

// Stops the run when cond is false; the message goes to stderr first.
void Check(bool cond, const char* what);

struct Snapshot;

// An instrument made through MakePlug exactly as the entry point makes it (default presets, at
// least one program), then opened, given a sample rate and block size and activated, as a host
// does. Closed with effClose on destruction.
//
// Making an instance costs more than everything a fuzz input does with it, so each target keeps
// one (per host kind) and puts it back to its state after construction before every input:
// programs, parameter values, current program, and a deactivation that silences the engine.
class Instance {
 public:
  // The shared instance for a host with this vendor string, put back to its first state.
  static Instance& Fresh(const char* hostVendor);

  Instance();
  ~Instance();
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  IPlugVST* Plug() { return mPlug; }
  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 idx = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.f);

  // Copies of the chunks a host would store now (idx 1: program, 0: bank).
  std::vector<uint8_t> GetChunk(VstInt32 idx);

  // Plays a chord through whatever state was loaded and checks that the output is finite.
  void RenderAndCheck();

  // A program chunk taken and given back must be accepted and give the same chunk again.
  void CheckProgramRoundTrip();
  // A bank chunk taken and given back must be accepted and leave programs and sound as they
  // were (empty names taking the name before them, as bank data always does).
  void CheckBankRoundTrip();

 private:
  void Restore();

  IPlugVST* mPlug = nullptr;
  AEffect* mEffect = nullptr;
  Snapshot* mFirst = nullptr;
};

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
// The same without the stored states' bytes: the instrument's state also records the name of
// the program current when it was written, which is read past, never applied.
Snapshot WithoutStates(Snapshot s);
// What a bank round trip makes of s: no stored states, and empty names replaced by the name
// before them.
Snapshot AfterBankRoundTrip(Snapshot s);
// Stops the run, naming the first difference, when the snapshots differ.
void CheckSame(const Snapshot& a, const Snapshot& b, const char* what);

// A file path of this process's own under the temporary folder (removed at exit).
std::string ScratchPath(const char* suffix);
void WriteScratch(const std::string& path, const uint8_t* data, size_t size);

}  // namespace quenta_fuzz
