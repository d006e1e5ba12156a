/* Asking the host which thread the caller is on. */
#pragma once

#include "../host.h"

#ifdef __cplusplus
extern "C" {
#endif

static const CLAP_CONSTEXPR char CLAP_EXT_THREAD_CHECK[] = "clap.thread-check";

typedef struct clap_host_thread_check {
    bool(CLAP_ABI* is_main_thread)(const clap_host_t* host);
    bool(CLAP_ABI* is_audio_thread)(const clap_host_t* host);
} clap_host_thread_check_t;

#ifdef __cplusplus
}
#endif
