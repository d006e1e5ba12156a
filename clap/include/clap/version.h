/* CLAP version record. */
#pragma once

#include <stdint.h>

#include "private_macros.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct clap_version {
    uint32_t major;
    uint32_t minor;
    uint32_t revision;
} clap_version_t;

#define CLAP_VERSION_MAJOR 1
#define CLAP_VERSION_MINOR 2
#define CLAP_VERSION_REVISION 6
#define CLAP_VERSION_INIT {(uint32_t)CLAP_VERSION_MAJOR, (uint32_t)CLAP_VERSION_MINOR, (uint32_t)CLAP_VERSION_REVISION}

static const CLAP_CONSTEXPR clap_version_t CLAP_VERSION = CLAP_VERSION_INIT;

#ifdef __cplusplus
}
#endif
