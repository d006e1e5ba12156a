/* The host record a plug-in receives. */
#pragma once

#include "private_macros.h"
#include "version.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct clap_host {
    clap_version_t clap_version;
    void* host_data;
    const char* name;
    const char* vendor;
    const char* url;
    const char* version;
    const void*(CLAP_ABI* get_extension)(const struct clap_host* host, const char* extension_id);
    void(CLAP_ABI* request_restart)(const struct clap_host* host);
    void(CLAP_ABI* request_process)(const struct clap_host* host);
    void(CLAP_ABI* request_callback)(const struct clap_host* host);
} clap_host_t;

#ifdef __cplusplus
}
#endif
