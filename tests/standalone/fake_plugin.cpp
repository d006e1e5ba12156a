#include "fake_plugin.h"

#include <algorithm>

namespace satest {

namespace {

FakePlugin& self(const clap_plugin* p) { return FakePlugin::of(p); }

bool hostThreadCheck(const clap_host* host, bool main) {
    const auto* check = static_cast<const clap_host_thread_check*>(host->get_extension(host, CLAP_EXT_THREAD_CHECK));
    return main ? check->is_main_thread(host) : check->is_audio_thread(host);
}

const clap_plugin_state kState = {
    [](const clap_plugin* p, const clap_ostream* out) {
        const auto& bytes = self(p).config.state;
        for (size_t at = 0; at < bytes.size(); at += 4) {
            const size_t n = std::min<size_t>(4, bytes.size() - at);
            if (out->write(out, bytes.data() + at, n) != static_cast<int64_t>(n)) return false;
        }
        return self(p).config.saveResult;
    },
    [](const clap_plugin* p, const clap_istream* in) {
        FakePlugin& f = self(p);
        f.loaded.clear();
        f.readResults.clear();
        uint8_t buffer[4];
        for (;;) {
            const int64_t n = in->read(in, buffer, sizeof buffer);
            f.readResults.push_back(n);
            if (n <= 0) return n == 0 && f.config.loadResult;
            f.loaded.insert(f.loaded.end(), buffer, buffer + n);
        }
    },
};

const clap_plugin_audio_ports kAudioPorts = {
    [](const clap_plugin* p, bool in) { return in ? self(p).config.audioInputs : self(p).config.audioOutputs; },
    [](const clap_plugin* p, uint32_t index, bool, clap_audio_port_info* info) {
        info->id = index;
        info->channel_count = self(p).config.channelsPerPort;
        info->flags = index == 0 ? CLAP_AUDIO_PORT_IS_MAIN : 0;
        return true;
    },
};

const clap_plugin_note_ports kNotePorts = {
    [](const clap_plugin* p, bool in) { return in ? self(p).config.noteInputs : self(p).config.noteOutputs; },
    [](const clap_plugin* p, uint32_t index, bool, clap_note_port_info* info) {
        info->id = index;
        info->supported_dialects = self(p).config.noteDialects;
        return true;
    },
};

const clap_plugin_params kParams = {
    [](const clap_plugin*) { return 0u; },
    [](const clap_plugin*, uint32_t, clap_param_info*) { return false; },
    [](const clap_plugin*, clap_id, double*) { return false; },
    [](const clap_plugin*, clap_id, double, char*, uint32_t) { return false; },
    [](const clap_plugin*, clap_id, const char*, double*) { return false; },
    [](const clap_plugin*, const clap_input_events*, const clap_output_events*) {},
};

std::string sizeArgs(uint32_t width, uint32_t height) { return " " + std::to_string(width) + " " + std::to_string(height); }

bool noteGui(const clap_plugin* p, const std::string& call, bool answer = true) {
    self(p).calls.push_back("gui." + call);
    return answer;
}

const clap_plugin_gui kGui = {
    [](const clap_plugin* p, const char* api, bool floating) {
        noteGui(p, std::string("is_api_supported ") + api + (floating ? " floating" : ""));
        return self(p).config.guiSupportsHostApi && !floating && std::strcmp(api, CLAP_WINDOW_API_X11) == 0;
    },
    [](const clap_plugin*, const char**, bool*) { return false; },  // get_preferred_api
    [](const clap_plugin* p, const char* api, bool floating) {
        return noteGui(p, std::string("create ") + api + (floating ? " floating" : ""), self(p).config.gui.create);
    },
    [](const clap_plugin* p) { noteGui(p, "destroy"); },
    [](const clap_plugin* p, double) { return noteGui(p, "set_scale", false); },
    [](const clap_plugin* p, uint32_t* width, uint32_t* height) {
        const FakeGuiConfig& gui = self(p).config.gui;
        if (!gui.getSize) return noteGui(p, "get_size", false);
        *width = gui.width;
        *height = gui.height;
        return noteGui(p, "get_size");
    },
    [](const clap_plugin* p) { return noteGui(p, "can_resize", self(p).config.gui.canResize); },
    [](const clap_plugin*, clap_gui_resize_hints*) { return false; },
    [](const clap_plugin* p, uint32_t* width, uint32_t* height) {
        const uint32_t step = self(p).config.gui.sizeStep;
        noteGui(p, "adjust_size" + sizeArgs(*width, *height));
        *width -= *width % step;
        *height -= *height % step;
        return true;
    },
    [](const clap_plugin* p, uint32_t width, uint32_t height) { return noteGui(p, "set_size" + sizeArgs(width, height)); },
    [](const clap_plugin* p, const clap_window* window) {
        return noteGui(p, std::string("set_parent ") + window->api + " " + std::to_string(window->x11),
                       self(p).config.gui.setParent);
    },
    [](const clap_plugin*, const clap_window*) { return false; },  // set_transient
    [](const clap_plugin*, const char*) {},                         // suggest_title
    [](const clap_plugin* p) { return noteGui(p, "show"); },
    [](const clap_plugin* p) { return noteGui(p, "hide"); },
};

const clap_plugin_timer_support kTimers = {
    [](const clap_plugin* p, clap_id id) { self(p).timersFired.push_back(id); },
};

const clap_plugin_context_menu kContextMenu = {
    [](const clap_plugin*, const clap_context_menu_target*, const clap_context_menu_builder*) { return true; },
    [](const clap_plugin*, const clap_context_menu_target*, clap_id) { return true; },
};

const void* tableFor(const std::string& id) {
    if (id == CLAP_EXT_STATE) return &kState;
    if (id == CLAP_EXT_AUDIO_PORTS) return &kAudioPorts;
    if (id == CLAP_EXT_NOTE_PORTS) return &kNotePorts;
    if (id == CLAP_EXT_PARAMS) return &kParams;
    if (id == CLAP_EXT_GUI) return &kGui;
    if (id == CLAP_EXT_TIMER_SUPPORT) return &kTimers;
    return &kContextMenu;  // any other table: the tests look at its address only
}

}  // namespace

clap_process_status fakeProcess(const clap_plugin* p, const clap_process* process) {
    FakePlugin& f = self(p);
    f.lastProcess = *process;
    f.eventCount = process->in_events->size(process->in_events);
    for (uint32_t i = 0; i < f.eventCount && i < FakePlugin::kMaxEvents; ++i)
        std::memcpy(&f.events[i], process->in_events->get(process->in_events, i), sizeof(clap_event_midi));
    clap_event_header header{sizeof(clap_event_header), 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
    f.pushAccepted = process->out_events->try_push(process->out_events, &header);
    if (process->audio_inputs_count > 0 && process->audio_outputs_count > 0) {
        for (uint32_t c = 0; c < 2; ++c)
            std::copy_n(process->audio_inputs[0].data32[c], process->frames_count, process->audio_outputs[0].data32[c]);
    }
    f.blocks.fetch_add(1, std::memory_order_release);
    return CLAP_PROCESS_CONTINUE;
}

FakePlugin::FakePlugin(const clap_host* h, const FakePluginConfig& c) : host(h), config(c) {
    descriptor = FakeWorld::descriptor;
    if (!config.descriptorId.empty()) descriptor.id = config.descriptorId.c_str();
    plugin.desc = &descriptor;
    plugin.plugin_data = this;
    plugin.init = [](const clap_plugin* p) {
        self(p).calls.push_back("init");
        return self(p).config.initResult;
    };
    plugin.destroy = [](const clap_plugin* p) {
        FakePlugin* f = &self(p);
        if (FakeWorld* w = FakeWorld::current) {
            w->destroyedCalls = f->calls;
            if (w->last == f) w->last = nullptr;
        }
        delete f;
    };
    plugin.activate = [](const clap_plugin* p, double rate, uint32_t min, uint32_t max) {
        FakePlugin& f = self(p);
        f.calls.push_back("activate");
        f.activatedRate = rate;
        f.activatedMin = min;
        f.activatedMax = max;
        return true;
    };
    plugin.deactivate = [](const clap_plugin* p) { self(p).calls.push_back("deactivate"); };
    plugin.start_processing = [](const clap_plugin* p) {
        FakePlugin& f = self(p);
        f.calls.push_back("start_processing");
        f.mainDuringStart = hostThreadCheck(f.host, true);
        f.audioDuringStart = hostThreadCheck(f.host, false);
        return f.config.startProcessingResult;
    };
    plugin.stop_processing = [](const clap_plugin* p) {
        FakePlugin& f = self(p);
        f.calls.push_back("stop_processing");
        f.audioDuringStop = hostThreadCheck(f.host, false);
    };
    plugin.reset = [](const clap_plugin* p) { self(p).calls.push_back("reset"); };
    plugin.process = fakeProcess;
    plugin.get_extension = [](const clap_plugin* p, const char* id) -> const void* {
        FakePlugin& f = self(p);
        f.asked.push_back(id);
        return f.config.extensions.count(id) != 0 ? tableFor(id) : nullptr;
    };
    plugin.on_main_thread = [](const clap_plugin* p) { self(p).calls.push_back("on_main_thread"); };
}

FakeWorld* FakeWorld::current = nullptr;

FakeWorld::FakeWorld() { current = this; }
FakeWorld::~FakeWorld() { current = nullptr; }

const clap_plugin_descriptor FakeWorld::descriptor = {
    CLAP_VERSION_INIT, "test.fake-plugin", "Fake", "Tests", "", "", "", "1.0", "", nullptr,
};

const clap_plugin_factory FakeWorld::factory = {
    [](const clap_plugin_factory*) { return 1u; },
    [](const clap_plugin_factory*, uint32_t index) { return index == 0 ? &descriptor : nullptr; },
    [](const clap_plugin_factory*, const clap_host* host, const char* id) -> const clap_plugin* {
        if (std::strcmp(id, descriptor.id) != 0) return nullptr;
        FakeWorld& w = *current;
        ++w.created;
        w.last = new FakePlugin(host, w.config);
        return &w.last->plugin;
    },
};

const clap_plugin_entry FakeWorld::entry = {
    CLAP_VERSION_INIT,
    [](const char* path) {
        current->entryCalls.push_back(std::string("init ") + (path != nullptr ? path : "(null)"));
        return true;
    },
    [] { current->entryCalls.push_back("deinit"); },
    [](const char* id) -> const void* {
        return current->offerFactory && std::strcmp(id, CLAP_PLUGIN_FACTORY_ID) == 0 ? &factory : nullptr;
    },
};

}  // namespace satest
