#pragma once
// The editor's panel as a picture: an instance of the instrument made inside this process,
// whose editor draws through the headless back end, and a PNG writer for what it drew.
#include <string>

#include "tools/quenta_render/vst_host.h"

class LICE_IBitmap;

namespace qrender {

// Writes the bitmap as an 8-bit RGB PNG (the panel is opaque; alpha is dropped). False, with
// error naming the problem, when the file cannot be written.
bool writePng(LICE_IBitmap* pBitmap, const std::string& path, std::string& error);

// The entry point of an instrument made in this process whose editor is headless and loads its
// images from imgFolder. Without a start-up bank of the user's, the instance holds the factory
// bank factoryBank (as it would inside its bundle). One such instance at a time.
PluginEntry headlessEditorEntry(const std::string& imgFolder, const std::string& factoryBank);

// Opens the editor of the instance made by headlessEditorEntry, draws the whole panel and
// writes it to path.
bool writeEditorPng(AEffect* effect, const std::string& path, std::string& error);

}  // namespace qrender
