// The plug-in's face toward a CLAP host: the entry functions, the factory and the
// descriptor.
//
// The program's exported `clap_entry` belongs to whoever builds the executable (the
// standalone application wraps `fxcore_entry_init` in its own init, which also sets
// up its audio devices). `kPluginEntry` is the same entry with the plug-in's own
// init, for hosts and tests that link the plug-in library directly.
#pragma once

#include <string>

#include "clap/clap.h"

// None of them lets an exception out: they are called from C.
extern "C" {
bool fxcore_entry_init(const char* plugin_path) noexcept;
void fxcore_entry_deinit(void) noexcept;
const void* fxcore_entry_get_factory(const char* factory_id) noexcept;
}

namespace fxcoreplug {

extern const clap_plugin_descriptor s_descriptor;
extern const char* const kFeatures[];
extern const clap_plugin_entry kPluginEntry;

const clap_plugin_descriptor* descriptor();

// How many times the entry was initialised and not yet de-initialised.
int entryInitCount();
// The directory of the path the first init received (where the plug-in's files live),
// or of the running program when that path was null or had no directory part.
const std::string& entryBundleDirectory();

}  // namespace fxcoreplug
