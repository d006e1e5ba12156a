// The panel in a host's X11 window, through the plug-in's CLAP tables: opening it
// for the default layout (set_parent until the window shows the whole first frame;
// create and destroy around it are not timed), and a timer tick with nothing to change.
// Needs an X display (run under xvfb-run); without one, or while the plug-in offers
// no "clap.gui", each benchmark reports why and measures nothing.
#include <benchmark/benchmark.h>

#include "clap/clap.h"
#include "fxcoreplug/clap_entry.h"
#include "gui_host.h"
#include "x11_parent_window.h"

namespace {

constexpr uint32_t kUnpainted = 0xff00ff;  // the parent's colour: no panel pixel yet
constexpr int kWidth = 394;
constexpr int kHeight = 722;

// One parent window for the whole run. Its connection also keeps the X server from
// resetting, as it does when its last client leaves, while the benchmark library
// runs a benchmark again: a connection made during the reset is refused.
testsupport::ParentWindow& sharedParent() {
    static testsupport::ParentWindow parent{kWidth, kHeight, kUnpainted};
    return parent;
}

// A host and the default plug-in made through the entry, on the shared parent.
class Rig {
public:
    Rig() {
        if (!parent.opened()) return;
        fxcoreplug::kPluginEntry.init("Lumivex.clap");
        const auto* factory =
            static_cast<const clap_plugin_factory*>(fxcoreplug::kPluginEntry.get_factory(CLAP_PLUGIN_FACTORY_ID));
        plugin = factory->create_plugin(factory, host.clap(), "com.quendry.lumivex");
        plugin->init(plugin);
        host.drive(plugin);
        gui = static_cast<const clap_plugin_gui*>(plugin->get_extension(plugin, CLAP_EXT_GUI));
    }
    ~Rig() {
        if (plugin == nullptr) return;
        if (gui != nullptr) gui->destroy(plugin);
        plugin->destroy(plugin);
        fxcoreplug::kPluginEntry.deinit();
    }
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    const char* unavailable() const {
        if (!parent.opened()) return "no X display: run under xvfb-run";
        if (gui == nullptr) return "the plug-in answers no \"clap.gui\"";
        return nullptr;
    }

    // set_parent after create, then the loop turns until both far corners of the
    // panel's window show the panel: the frame reaches the screen in one piece, top
    // to bottom, so its last pixel is there last.
    bool open(benchmark::State* timed = nullptr) {
        const clap_window window = parent.clapWindow();
        if (timed != nullptr) timed->PauseTiming();
        const bool created = gui->create(plugin, CLAP_WINDOW_API_X11, false);
        if (timed != nullptr) timed->ResumeTiming();
        if (!created || !gui->set_parent(plugin, &window)) return false;
        return host.runUntil(
            [&] {
                const unsigned long child = parent.child();
                return child != 0 && parent.pixel(child, 0, 0) != kUnpainted &&
                       parent.pixel(child, kWidth - 1, kHeight - 1) != kUnpainted;
            },
            false, 2000, 1);
    }

    testsupport::ParentWindow& parent = sharedParent();
    testsupport::GuiHost host;
    const clap_plugin* plugin = nullptr;
    const clap_plugin_gui* gui = nullptr;
};

void BM_OpenPanel(benchmark::State& state) {
    Rig rig;
    if (const char* why = rig.unavailable()) {
        state.SkipWithError(why);
        return;
    }
    for (auto _ : state) {
        if (!rig.open(&state)) {
            state.SkipWithError("the panel never showed a whole frame");
            break;
        }
        state.PauseTiming();
        rig.gui->destroy(rig.plugin);
        rig.parent.sync();
        state.ResumeTiming();
    }
    state.SetLabel("set_parent to first whole frame, default layout");
}

void BM_IdleTimerTick(benchmark::State& state) {
    Rig rig;
    if (const char* why = rig.unavailable()) {
        state.SkipWithError(why);
        return;
    }
    if (!rig.open() || rig.host.timers.size() != 1) {
        state.SkipWithError("the panel did not open with one timer");
        return;
    }
    const auto* timers = static_cast<const clap_plugin_timer_support*>(
        rig.plugin->get_extension(rig.plugin, CLAP_EXT_TIMER_SUPPORT));
    const clap_id id = rig.host.timers.begin()->first;
    timers->on_timer(rig.plugin, id);  // the toggles take their positions once
    for (auto _ : state) timers->on_timer(rig.plugin, id);
    state.SetLabel("on_timer with no value, position or lamp change");
}

BENCHMARK(BM_OpenPanel)->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_IdleTimerTick)->Unit(benchmark::kMicrosecond);

}  // namespace
