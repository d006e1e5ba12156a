/* Processing latency. */
#pragma once

#include "../host.h"
#include "../plugin.h"

#ifdef __cplusplus
extern "C" {
#endif

static const CLAP_CONSTEXPR char CLAP_EXT_LATENCY[] = "clap.latency";

typedef struct clap_plugin_latency {
    uint32_t(CLAP_ABI* get)(const clap_plugin_t* plugin);
} clap_plugin_latency_t;

typedef struct clap_host_latency {
    void(CLAP_ABI* changed)(const clap_host_t* host);
} clap_host_latency_t;

#ifdef __cplusplus
}
#endif
