#include "configfile_fixture.h"

namespace quenta_test {

void MakeBankFile(const std::string& path, const std::string& prefix) {
  Instance maker;
  Quenta& q = maker.q();
  for (int p = 0; p < q.NPresets(); ++p) {
    q.RestorePreset(p);
    maker.Turn(kFinal, (p + 1) / 100.0);
    q.ModifyCurrentPreset((prefix + std::to_string(p)).c_str());
  }
  q.RestorePreset(0);
  WDL_String file(path.c_str());
  ASSERT_TRUE(q.SaveBankAsFXB(&file));
}

}  // namespace quenta_test
