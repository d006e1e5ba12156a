// "clap.plugin-info-as-vst3/0": a two-slot table some hosts ask for when they wrap a
// CLAP plug-in as VST3. It is not one of the published CLAP extensions.
#pragma once

#include <stdint.h>

#include "clap/plugin.h"

#ifdef __cplusplus
extern "C" {
#endif

static const CLAP_CONSTEXPR char CLAP_PLUGIN_INFO_AS_VST3[] = "clap.plugin-info-as-vst3/0";

typedef struct clap_plugin_info_as_vst3 {
    // MIDI channels of a note port.
    uint32_t(CLAP_ABI* get_num_midi_channels)(const clap_plugin_t* plugin, uint32_t note_port_index);
    // Note expressions supported (a bit set).
    uint32_t(CLAP_ABI* supported_note_expressions)(const clap_plugin_t* plugin);
} clap_plugin_info_as_vst3_t;

#ifdef __cplusplus
}
#endif
