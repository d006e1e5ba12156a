/* The declarations must stay plain C: this file only has to compile. */
#include "clap/clap.h"

int lumivex_clap_c_check(void) { return (int)sizeof(clap_plugin_t); }
