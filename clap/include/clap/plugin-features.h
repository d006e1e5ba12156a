/* Feature words of a plug-in descriptor (the ones Lumivex uses). */
#pragma once

#define CLAP_PLUGIN_FEATURE_AUDIO_EFFECT "audio-effect"
#define CLAP_PLUGIN_FEATURE_STEREO "stereo"
#define CLAP_PLUGIN_FEATURE_MONO "mono"
