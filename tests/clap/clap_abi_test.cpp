// Layout of our CLAP declarations against the published 1.2.6 ABI on Linux x86-64.
// A host or plug-in built against the published headers reads these structures
// field by field, so every offset and size here is load-bearing.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "clap/clap.h"

namespace {

// Version record, entry and descriptor: the first pointer after the 12-byte version
// sits at 16.
static_assert(sizeof(clap_version_t) == 12);
static_assert(offsetof(clap_plugin_entry_t, init) == 16);
static_assert(offsetof(clap_plugin_entry_t, get_factory) == 32);
static_assert(sizeof(clap_plugin_entry_t) == 40);
static_assert(offsetof(clap_plugin_descriptor_t, id) == 16);
static_assert(offsetof(clap_plugin_descriptor_t, features) == 80);
static_assert(sizeof(clap_plugin_descriptor_t) == 88);
static_assert(offsetof(clap_host_t, host_data) == 16);
static_assert(offsetof(clap_host_t, get_extension) == 56);
static_assert(offsetof(clap_host_t, request_callback) == 80);
static_assert(sizeof(clap_host_t) == 88);
static_assert(offsetof(clap_plugin_t, init) == 16);
static_assert(offsetof(clap_plugin_t, process) == 72);
static_assert(offsetof(clap_plugin_t, on_main_thread) == 88);
static_assert(sizeof(clap_plugin_t) == 96);
static_assert(sizeof(clap_plugin_factory_t) == 24);

// Process record and audio buffers.
static_assert(offsetof(clap_process_t, frames_count) == 8);
static_assert(offsetof(clap_process_t, transport) == 16);
static_assert(offsetof(clap_process_t, audio_inputs_count) == 40);
static_assert(offsetof(clap_process_t, audio_outputs_count) == 44);
static_assert(offsetof(clap_process_t, in_events) == 48);
static_assert(sizeof(clap_process_t) == 64);
static_assert(offsetof(clap_audio_buffer_t, channel_count) == 16);
static_assert(offsetof(clap_audio_buffer_t, constant_mask) == 24);
static_assert(sizeof(clap_audio_buffer_t) == 32);

// Events.
static_assert(sizeof(clap_event_header_t) == 16 && alignof(clap_event_header_t) == 4);
static_assert(offsetof(clap_event_header_t, space_id) == 8 && offsetof(clap_event_header_t, type) == 10);
static_assert(offsetof(clap_event_midi_t, port_index) == 16 && offsetof(clap_event_midi_t, data) == 18);
static_assert(sizeof(clap_event_midi_t) == 24);
static_assert(offsetof(clap_event_param_value_t, param_id) == 16);
static_assert(offsetof(clap_event_param_value_t, cookie) == 24);
static_assert(offsetof(clap_event_param_value_t, note_id) == 32);
static_assert(offsetof(clap_event_param_value_t, key) == 40);
static_assert(offsetof(clap_event_param_value_t, value) == 48);
static_assert(sizeof(clap_event_param_value_t) == 56);
static_assert(sizeof(clap_event_param_gesture_t) == 20);
static_assert(offsetof(clap_event_note_t, velocity) == 32 && sizeof(clap_event_note_t) == 40);
static_assert(offsetof(clap_event_transport_t, song_pos_beats) == 24);
static_assert(offsetof(clap_event_transport_t, tempo) == 40);
static_assert(offsetof(clap_event_transport_t, bar_number) == 96);
static_assert(sizeof(clap_event_transport_t) == 104);
static_assert(sizeof(clap_input_events_t) == 24 && sizeof(clap_output_events_t) == 16);

// Extension records.
static_assert(offsetof(clap_param_info_t, cookie) == 8);
static_assert(offsetof(clap_param_info_t, name) == 16);
static_assert(offsetof(clap_param_info_t, module) == 272);
static_assert(offsetof(clap_param_info_t, min_value) == 1296);
static_assert(sizeof(clap_param_info_t) == 1320);
static_assert(offsetof(clap_audio_port_info_t, flags) == 260);
static_assert(offsetof(clap_audio_port_info_t, port_type) == 272);
static_assert(offsetof(clap_audio_port_info_t, in_place_pair) == 280);
static_assert(sizeof(clap_audio_port_info_t) == 288);
static_assert(offsetof(clap_note_port_info_t, name) == 12 && sizeof(clap_note_port_info_t) == 268);
static_assert(offsetof(clap_window_t, x11) == 8 && sizeof(clap_window_t) == 16);
static_assert(sizeof(clap_plugin_gui_t) == 15 * sizeof(void*));
static_assert(sizeof(clap_plugin_params_t) == 6 * sizeof(void*));
static_assert(sizeof(clap_plugin_timer_support_t) == sizeof(void*) && sizeof(clap_host_timer_support_t) == 2 * sizeof(void*));
static_assert(sizeof(clap_plugin_posix_fd_support_t) == sizeof(void*));
static_assert(sizeof(clap_host_posix_fd_support_t) == 3 * sizeof(void*));
static_assert(CLAP_POSIX_FD_READ == 1 && CLAP_POSIX_FD_WRITE == 2 && CLAP_POSIX_FD_ERROR == 4);
static_assert(offsetof(clap_track_info_t, name) == 8 && offsetof(clap_track_info_t, color) == 264);
static_assert(offsetof(clap_track_info_t, audio_port_type) == 272);

TEST(ClapDeclarations, ConstantsHaveThePublishedValues) {
    EXPECT_EQ(CLAP_VERSION.major, 1u);
    EXPECT_EQ(CLAP_VERSION.minor, 2u);
    EXPECT_EQ(CLAP_VERSION.revision, 6u);
    EXPECT_EQ(CLAP_INVALID_ID, 0xFFFFFFFFu);
    EXPECT_EQ(CLAP_PARAM_RESCAN_ALL, 8);
    EXPECT_EQ(CLAP_PARAM_RESCAN_INFO, 4);
    EXPECT_EQ(CLAP_PARAM_IS_AUTOMATABLE | CLAP_PARAM_IS_MODULATABLE, 1056);
    EXPECT_EQ(CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_AUTOMATABLE, 33);
    EXPECT_EQ(CLAP_PARAM_IS_HIDDEN, 4);
    EXPECT_EQ(CLAP_EVENT_PARAM_VALUE, 5);
    EXPECT_EQ(CLAP_EVENT_PARAM_GESTURE_BEGIN, 7);
    EXPECT_EQ(CLAP_EVENT_PARAM_GESTURE_END, 8);
    EXPECT_EQ(CLAP_EVENT_MIDI, 10);
    EXPECT_EQ(CLAP_NOTE_DIALECT_MIDI, 2);
    EXPECT_EQ(CLAP_AUDIO_PORT_IS_MAIN, 1);
    EXPECT_EQ(CLAP_PROCESS_CONTINUE, 1);
    EXPECT_EQ(CLAP_LOG_PLUGIN_MISBEHAVING, 6);
    EXPECT_EQ(CLAP_BEATTIME_FACTOR, int64_t{1} << 31);
}

TEST(ClapDeclarations, IdentifiersAreThePublishedStrings) {
    EXPECT_STREQ(CLAP_PLUGIN_FACTORY_ID, "clap.plugin-factory");
    EXPECT_STREQ(CLAP_EXT_CONFIGURABLE_AUDIO_PORTS_COMPAT, "clap.configurable-audio-ports.draft1");
    EXPECT_STREQ(CLAP_EXT_AUDIO_PORTS_ACTIVATION, "clap.audio-ports-activation/2");
    EXPECT_STREQ(CLAP_EXT_TRACK_INFO, "clap.track-info/1");
    EXPECT_STREQ(CLAP_EXT_CONTEXT_MENU, "clap.context-menu/1");
    EXPECT_STREQ(CLAP_EXT_CONTEXT_MENU_COMPAT, "clap.context-menu.draft/0");
    EXPECT_STREQ(CLAP_EXT_POSIX_FD_SUPPORT, "clap.posix-fd-support");
    EXPECT_STREQ(CLAP_WINDOW_API_X11, "x11");
    EXPECT_STREQ(CLAP_PORT_STEREO, "stereo");
}

}  // namespace
