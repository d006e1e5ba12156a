/* The entry structure a CLAP binary exports as `clap_entry`. */
#pragma once

#include "private_macros.h"
#include "version.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct clap_plugin_entry {
    clap_version_t clap_version;
    bool(CLAP_ABI* init)(const char* plugin_path);
    void(CLAP_ABI* deinit)(void);
    const void*(CLAP_ABI* get_factory)(const char* factory_id);
} clap_plugin_entry_t;

CLAP_EXPORT extern const clap_plugin_entry_t clap_entry;

#ifdef __cplusplus
}
#endif
