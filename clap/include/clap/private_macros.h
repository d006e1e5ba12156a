/* Calling convention, export and constant helpers of the CLAP C ABI (Linux x86-64). */
#pragma once

#ifndef CLAP_ABI
#define CLAP_ABI
#endif

#ifndef CLAP_EXPORT
#define CLAP_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
#define CLAP_CONSTEXPR constexpr
#else
#define CLAP_CONSTEXPR
#endif

#ifndef __cplusplus
#include <stdbool.h>
#endif
