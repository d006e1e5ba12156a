/* Realtime or offline rendering. */
#pragma once

#include "../plugin.h"

#ifdef __cplusplus
extern "C" {
#endif

static const CLAP_CONSTEXPR char CLAP_EXT_RENDER[] = "clap.render";

enum {
    CLAP_RENDER_REALTIME = 0,
    CLAP_RENDER_OFFLINE = 1,
};
typedef int32_t clap_plugin_render_mode;

typedef struct clap_plugin_render {
    bool(CLAP_ABI* has_hard_realtime_requirement)(const clap_plugin_t* plugin);
    bool(CLAP_ABI* set)(const clap_plugin_t* plugin, clap_plugin_render_mode mode);
} clap_plugin_render_t;

#ifdef __cplusplus
}
#endif
