// Fills a plug-in object's clap_plugin record with the thunks that forward to it.
#pragma once

#include "clap/clap.h"

namespace fxcoreplug {

class FXCorePlugin;

void fillClapPlugin(clap_plugin& record, FXCorePlugin* self);

}  // namespace fxcoreplug
