// Where the plug-in finds its bundle: the folder holding "Quenta.vst", with a trailing "/".
#include <gtest/gtest.h>

#include "plugin/PluginPath.h"

TEST(PluginPath, TheFolderHoldingTheBundleOrTheModulesOwn) {
  WDL_String path;
  PluginPathFromModulePath("/home/u/.vst/Quenta.vst/Contents/x86_64-linux/Quenta.so", &path);
  EXPECT_STREQ(path.Get(), "/home/u/.vst/");
  PluginPathFromModulePath("/Quenta.vst/Contents/x86_64-linux/Quenta.so", &path);
  EXPECT_STREQ(path.Get(), "/");
  // A module outside a bundle gives its own folder.
  PluginPathFromModulePath("/opt/tests/quenta_plugin_tests", &path);
  EXPECT_STREQ(path.Get(), "/opt/tests/");
  // A folder merely named like a bundle deeper up does not count.
  PluginPathFromModulePath("/a/Quenta.vst/Contents/x86_64-linux/deeper/lib.so", &path);
  EXPECT_STREQ(path.Get(), "/a/Quenta.vst/Contents/x86_64-linux/deeper/");
}
