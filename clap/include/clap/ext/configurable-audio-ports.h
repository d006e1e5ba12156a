/* Asking a plug-in to reconfigure its audio ports. */
#pragma once

#include "../plugin.h"

#ifdef __cplusplus
extern "C" {
#endif

static const CLAP_CONSTEXPR char CLAP_EXT_CONFIGURABLE_AUDIO_PORTS[] = "clap.configurable-audio-ports/1";
static const CLAP_CONSTEXPR char CLAP_EXT_CONFIGURABLE_AUDIO_PORTS_COMPAT[] = "clap.configurable-audio-ports.draft1";

typedef struct clap_audio_port_configuration_request {
    bool is_input;
    uint32_t port_index;
    uint32_t channel_count;
    const char* port_type;
    const void* port_details;
} clap_audio_port_configuration_request_t;

typedef struct clap_plugin_configurable_audio_ports {
    bool(CLAP_ABI* can_apply_configuration)(const clap_plugin_t* plugin,
                                            const struct clap_audio_port_configuration_request* requests,
                                            uint32_t request_count);
    bool(CLAP_ABI* apply_configuration)(const clap_plugin_t* plugin,
                                        const struct clap_audio_port_configuration_request* requests,
                                        uint32_t request_count);
} clap_plugin_configurable_audio_ports_t;

#ifdef __cplusplus
}
#endif
