/* Audio tail length. */
#pragma once

#include "../host.h"
#include "../plugin.h"

#ifdef __cplusplus
extern "C" {
#endif

static const CLAP_CONSTEXPR char CLAP_EXT_TAIL[] = "clap.tail";

typedef struct clap_plugin_tail {
    uint32_t(CLAP_ABI* get)(const clap_plugin_t* plugin);
} clap_plugin_tail_t;

typedef struct clap_host_tail {
    void(CLAP_ABI* changed)(const clap_host_t* host);
} clap_host_tail_t;

#ifdef __cplusplus
}
#endif
