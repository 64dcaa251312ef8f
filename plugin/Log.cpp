#include "plugin/Log.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

const char* VSTOpcodeStr(int) { return ""; }
const char* AUSelectStr(int) { return ""; }
const char* AUPropertyStr(int) { return ""; }
const char* AUScopeStr(int) { return ""; }

const char* CurrentTime() {
  static thread_local char sTimeStr[64];
  time_t t = time(nullptr);
  struct tm local;
  localtime_r(&t, &local);
  size_t n = strftime(sTimeStr, sizeof(sTimeStr), "%Y%m%d %H:%M ", &local);
  long offsetMin = local.tm_gmtoff / 60;
  char sign = offsetMin < 0 ? '-' : '+';
  offsetMin = std::labs(offsetMin);
  std::snprintf(sTimeStr + n, sizeof(sTimeStr) - n, "%c%02d%02d", sign, (int)(offsetMin / 60),
                (int)(offsetMin % 60));
  return sTimeStr;
}
