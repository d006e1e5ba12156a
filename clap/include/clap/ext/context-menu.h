/* Context menus shared between host and plug-in. */
#pragma once

#include "../host.h"
#include "../id.h"
#include "../plugin.h"

#ifdef __cplusplus
extern "C" {
#endif

static const CLAP_CONSTEXPR char CLAP_EXT_CONTEXT_MENU[] = "clap.context-menu/1";
static const CLAP_CONSTEXPR char CLAP_EXT_CONTEXT_MENU_COMPAT[] = "clap.context-menu.draft/0";

enum {
    CLAP_CONTEXT_MENU_TARGET_KIND_GLOBAL = 0,
    CLAP_CONTEXT_MENU_TARGET_KIND_PARAM = 1,
};

typedef struct clap_context_menu_target {
    uint32_t kind;
    clap_id id;
} clap_context_menu_target_t;

enum {
    CLAP_CONTEXT_MENU_ITEM_ENTRY,
    CLAP_CONTEXT_MENU_ITEM_CHECK_ENTRY,
    CLAP_CONTEXT_MENU_ITEM_SEPARATOR,
    CLAP_CONTEXT_MENU_ITEM_BEGIN_SUBMENU,
    CLAP_CONTEXT_MENU_ITEM_END_SUBMENU,
    CLAP_CONTEXT_MENU_ITEM_TITLE,
};
typedef uint32_t clap_context_menu_item_kind_t;

typedef struct clap_context_menu_entry {
    const char* label;
    bool is_enabled;
    clap_id action_id;
} clap_context_menu_entry_t;

typedef struct clap_context_menu_check_entry {
    const char* label;
    bool is_enabled;
    bool is_checked;
    clap_id action_id;
} clap_context_menu_check_entry_t;

typedef struct clap_context_menu_item_title {
    const char* title;
    bool is_enabled;
} clap_context_menu_item_title_t;

typedef struct clap_context_menu_submenu {
    const char* label;
    bool is_enabled;
} clap_context_menu_submenu_t;

typedef struct clap_context_menu_builder {
    void* ctx;
    bool(CLAP_ABI* add_item)(const struct clap_context_menu_builder* builder, clap_context_menu_item_kind_t item_kind,
                             const void* item_data);
    bool(CLAP_ABI* supports)(const struct clap_context_menu_builder* builder, clap_context_menu_item_kind_t item_kind);
} clap_context_menu_builder_t;

typedef struct clap_plugin_context_menu {
    bool(CLAP_ABI* populate)(const clap_plugin_t* plugin, const clap_context_menu_target_t* target,
                             const clap_context_menu_builder_t* builder);
    bool(CLAP_ABI* perform)(const clap_plugin_t* plugin, const clap_context_menu_target_t* target, clap_id action_id);
} clap_plugin_context_menu_t;

typedef struct clap_host_context_menu {
    bool(CLAP_ABI* populate)(const clap_host_t* host, const clap_context_menu_target_t* target,
                             const clap_context_menu_builder_t* builder);
    bool(CLAP_ABI* perform)(const clap_host_t* host, const clap_context_menu_target_t* target, clap_id action_id);
    bool(CLAP_ABI* can_popup)(const clap_host_t* host);
    bool(CLAP_ABI* popup)(const clap_host_t* host, const clap_context_menu_target_t* target, int32_t screen_index,
                          int32_t x, int32_t y);
} clap_host_context_menu_t;

#ifdef __cplusplus
}
#endif
