// quenta-make-factory-bank: turns the factory programs' source into the bank the plug-in loads
// at start when no start-up bank is chosen.
// Usage: quenta-make-factory-bank PROGRAMS.txt OUTPUT.fxb
//        quenta-make-factory-bank --list PROGRAMS.txt   (the programs as a Markdown table)
// Scala files named in the source are read from the source's folder. The instrument keeps its
// configuration under $HOME: run this with a home folder of its own.
#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "instrument/quenta.h"
#include "plugin/IPlugVST.h"
#include "tools/factory_bank/program_source.h"

namespace {

constexpr int kExitError = 1;
constexpr int kExitUsage = 2;

int fail(const std::string& message, int code = kExitError) {
  std::fprintf(stderr, "quenta-make-factory-bank: error: %s\n", message.c_str());
  return code;
}

std::string folderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseNameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::unique_ptr<Quenta> makeInstrument() {
  return std::unique_ptr<Quenta>(static_cast<Quenta*>(MakePlug(IPlugInstanceInfo{})));
}

// Loads the written bank into a new instance and compares the program names with the source.
bool verifyBank(const std::string& path, const std::vector<factory::ProgramSource>& programs,
                std::string& error) {
  std::unique_ptr<Quenta> check = makeInstrument();
  WDL_String file(path.c_str());
  if (!check->LoadBankFromFXB(&file)) {
    error = path + ": the written bank does not load";
    return false;
  }
  for (int i = 0; i < (int)programs.size(); ++i) {
    if (programs[(size_t)i].name != check->GetPresetName(i)) {
      error = path + ": program " + std::to_string(i) + " reads back as \"" +
              check->GetPresetName(i) + "\", not \"" + programs[(size_t)i].name + "\"";
      return false;
    }
  }
  return true;
}

}  // namespace

// The programs as the README lists them: number, name and description.
void printList(const std::vector<factory::ProgramSource>& programs) {
  std::printf("| No. | Program | Sound |\n|---|---|---|\n");
  for (size_t i = 0; i < programs.size(); ++i) {
    std::string d = programs[i].description;
    for (size_t at = d.find('|'); at != std::string::npos; at = d.find('|', at + 2))
      d.replace(at, 1, "\\|");
    std::printf("| %02zu | %s | %s |\n", i, programs[i].name.c_str(), d.c_str());
  }
}

int main(int argc, char** argv) {
  const bool list = argc == 3 && std::string(argv[1]) == "--list";
  if (argc != 3)
    return fail("usage: quenta-make-factory-bank PROGRAMS.txt OUTPUT.fxb | --list PROGRAMS.txt",
                kExitUsage);
  const std::string sourcePath = list ? argv[2] : argv[1], outputPath = list ? "" : argv[2];

  std::ifstream in(sourcePath, std::ios::binary);
  if (!in) return fail("cannot read " + sourcePath);
  std::stringstream text;
  text << in.rdbuf();

  const std::string fileName = baseNameOf(sourcePath);
  std::vector<factory::ProgramSource> programs;
  std::string error;
  if (!factory::parseProgramSource(text.str(), fileName, programs, error)) return fail(error);
  if (list) {
    printList(programs);
    return 0;
  }
  // Every program is played into the instrument first, so that a wrong name or value is
  // reported before a wrong count.
  std::unique_ptr<Quenta> plug = makeInstrument();
  if (!factory::storePrograms(*plug, programs, fileName, folderOf(sourcePath), error))
    return fail(error);
  if ((int)programs.size() != kQuentaNumPrograms)
    return fail(fileName + ": " + std::to_string(programs.size()) + " programs, the bank needs " +
                std::to_string(kQuentaNumPrograms));
  WDL_String out(outputPath.c_str());
  if (!plug->SaveBankAsFXB(&out)) return fail("cannot write " + outputPath);
  if (!verifyBank(outputPath, programs, error)) return fail(error);
  std::printf("quenta-make-factory-bank: %d programs from %s written to %s\n", (int)programs.size(),
              fileName.c_str(), outputPath.c_str());
  return 0;
}
