/* Identifiers and the fixed string sizes of the CLAP ABI. */
#pragma once

#include <stdint.h>

#include "private_macros.h"

typedef uint32_t clap_id;
static const CLAP_CONSTEXPR clap_id CLAP_INVALID_ID = UINT32_MAX;

enum {
    CLAP_NAME_SIZE = 256,
    CLAP_PATH_SIZE = 1024,
};

/* Fixed-point positions: 31 fractional bits in a 64-bit integer. */
typedef int64_t clap_beattime;
typedef int64_t clap_sectime;
static const CLAP_CONSTEXPR int64_t CLAP_BEATTIME_FACTOR = 1LL << 31;
static const CLAP_CONSTEXPR int64_t CLAP_SECTIME_FACTOR = 1LL << 31;

typedef struct clap_color {
    uint8_t alpha;
    uint8_t red;
    uint8_t green;
    uint8_t blue;
} clap_color_t;
