// Writes the fuzzers' seed files: real chunks and files of the instrument, and small crafted
// ones in the forms the loaders accept. Usage: quenta_fuzz_seeds <seeds folder>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_common.h"
#include "tests/render/png_writer.h"

using namespace quenta_fuzz;
using Bytes = std::vector<uint8_t>;

namespace {

std::string gRoot;

void Write(const std::string& target, const std::string& name, const Bytes& bytes) {
  const std::string dir = gRoot + "/" + target;
  mkdir(gRoot.c_str(), 0755);
  mkdir(dir.c_str(), 0755);
  WriteScratch(dir + "/" + name, bytes.data(), bytes.size());
  std::printf("%s/%s: %zu bytes\n", target.c_str(), name.c_str(), bytes.size());
}

Bytes FileBytes(const std::string& path) {
  Bytes b;
  FILE* fp = std::fopen(path.c_str(), "rb");
  Check(fp != nullptr, "cannot read a saved file");
  int c;
  while ((c = std::fgetc(fp)) != EOF) b.push_back((uint8_t)c);
  std::fclose(fp);
  return b;
}

Bytes ChunkBytes(const ByteChunk& c) {
  const uint8_t* p = c.GetBytes();
  return p ? Bytes(p, p + c.Size()) : Bytes();
}

void BE32(Bytes& b, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b.push_back((uint8_t)(v >> s));
}
void Tag(Bytes& b, const char* t) {
  for (int i = 0; i < 4; ++i) b.push_back((uint8_t)t[i]);
}
void Name28(Bytes& b, const std::string& n) {
  for (size_t i = 0; i < 28; ++i) b.push_back(i < n.size() ? (uint8_t)n[i] : 0);
}

// Sets every parameter through the host's setParameter to a value depending on seed.
void Edit(Instance& q, int seed) {
  AEffect* e = q.Plug()->GetAEffect();
  for (int i = 0; i < e->numParams; ++i) e->setParameter(e, i, (float)((seed * 13 + i * 7) % 17) / 16.0f);
}

Bytes ParamProgram(IPlugVST* plug, const std::string& name) {
  Bytes b;
  Tag(b, "CcnK");
  BE32(b, 0);
  Tag(b, "FxCk");
  BE32(b, 1);
  BE32(b, (uint32_t)plug->GetUniqueID());
  BE32(b, (uint32_t)plug->GetEffectVersion(true));
  BE32(b, (uint32_t)plug->NParams());
  Name28(b, name);
  for (int i = 0; i < plug->NParams(); ++i) {
    float f = (float)plug->GetParam(i)->GetNormalized();
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    BE32(b, bits);
  }
  return b;
}

Bytes BankFileHeader(IPlugVST* plug, const char* tag, int nPrograms, int current) {
  Bytes b;
  Tag(b, "CcnK");
  BE32(b, 0);
  Tag(b, tag);
  BE32(b, 2);
  BE32(b, (uint32_t)plug->GetUniqueID());
  BE32(b, (uint32_t)plug->GetEffectVersion(true));
  BE32(b, (uint32_t)nPrograms);
  BE32(b, (uint32_t)current);
  b.resize(156, 0);
  return b;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <seeds folder>\n", argv[0]);
    return 2;
  }
  gRoot = argv[1];

  // Program chunks as hosts store them.
  {
    Instance& q = Instance::Fresh("");
    Write("fuzz_setchunk_program", "default.bin", q.GetChunk(1));
    Edit(q, 1);
    char name[] = "Seed program";
    q.Dispatch(effSetProgramName, 0, 0, name);
    Bytes edited = q.GetChunk(1);
    Write("fuzz_setchunk_program", "edited.bin", edited);
    Write("fuzz_setchunk_program", "no-header.bin", Bytes(edited.begin() + 8, edited.end()));
    Write("fuzz_setchunk_program", "no-name.bin", Bytes(edited.begin(), edited.end() - 4 - (long)sizeof(name) + 1));
  }

  // A small bank: most programs empty, a few holding states, some names empty (they take the
  // name before them).
  Bytes bankChunk;
  {
    Instance& q = Instance::Fresh("");
    IPlugVST* plug = q.Plug();
    ByteChunk bank;
    IPlugBase::InitChunkWithIPlugVer(&bank);
    for (int i = 0; i < plug->NPresets(); ++i) {
      const bool stored = i == 0 || i == 3 || i == plug->NPresets() - 1;
      bank.PutStr(i % 5 == 2 ? "" : ("Seed " + std::to_string(i)).c_str());
      unsigned char flag = stored ? 1 : 0;
      bank.Put(&flag);
      if (stored) {
        Edit(q, i);
        plug->SerializeState(&bank);
      }
    }
    bankChunk = ChunkBytes(bank);
    Write("fuzz_setchunk_bank", "small.bin", bankChunk);
    Write("fuzz_setchunk_bank", "no-header.bin", Bytes(bankChunk.begin() + 8, bankChunk.end()));
  }

  // Program files: saved by the instrument, and the parameter form.
  {
    Instance& q = Instance::Fresh("");
    IPlugVST* plug = q.Plug();
    Edit(q, 2);
    plug->ModifyCurrentPreset("Saved program");
    const std::string path = ScratchPath(".seed");
    WDL_String p(path.c_str());
    Check(plug->SaveProgramAsFXP(&p), "cannot save a program file");
    Bytes saved = FileBytes(path);
    Write("fuzz_load_fxp", "saved.fxp", saved);
    Bytes bare(saved.begin(), saved.begin() + 60);
    bare.insert(bare.end(), saved.begin() + 68, saved.end());
    Write("fuzz_load_fxp", "no-header.fxp", bare);
    Edit(q, 3);
    Write("fuzz_load_fxp", "params.fxp", ParamProgram(plug, "Parameter form"));

    // Bank files: the small bank in the chunk form, two programs in the parameter form.
    Bytes chunkBank = BankFileHeader(plug, "FBCh", plug->NPresets(), 0);
    BE32(chunkBank, (uint32_t)bankChunk.size());
    chunkBank.insert(chunkBank.end(), bankChunk.begin(), bankChunk.end());
    Write("fuzz_load_fxb", "small.fxb", chunkBank);
    Bytes paramBank = BankFileHeader(plug, "FxBk", 2, 1);
    for (int i = 0; i < 2; ++i) {
      Edit(q, 4 + i);
      Bytes prog = ParamProgram(plug, "Bank program " + std::to_string(i));
      paramBank.insert(paramBank.end(), prog.begin(), prog.end());
    }
    Write("fuzz_load_fxb", "params.fxb", paramBank);
  }

  // PNG images of the forms the loader converts, small so that mutations reach every chunk.
  {
    struct Form {
      const char* name;
      int colourType, depth;
      bool interlaced, trns;
    };
    const Form forms[] = {
        {"palette-trns.png", 3, 4, false, true}, {"grey1.png", 0, 1, false, false},
        {"rgba16.png", 6, 16, false, false},     {"rgb.png", 2, 8, false, true},
        {"grey-alpha.png", 4, 8, false, false},  {"interlaced.png", 6, 8, true, false}};
    const std::string path = ScratchPath(".png");
    for (const Form& f : forms) {
      const auto img = pngtest::randomImage(9, 7, f.colourType, f.depth, f.interlaced, f.trns, 1);
      Check(pngtest::write(img, path), "cannot write a PNG seed");
      Write("fuzz_png", f.name, FileBytes(path));
    }
  }
  return 0;
}
