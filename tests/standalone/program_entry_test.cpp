// The program's own clap_entry hosting the Lumivex plug-in through the lifecycle:
// a value set before quit is back after the next start.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "standalone/audio_device_prefs.h"
#include "standalone/lifecycle.h"
#include "standalone/state_memento.h"

namespace {

using namespace brevlin::clap_host::standalone;
namespace fs = std::filesystem;

constexpr clap_id kPot0 = 100;

void setParam(Clap::Plugin& proxy, clap_id id, double value) {
    struct One {
        clap_event_param_value event{};
    } one;
    one.event.header = {sizeof(clap_event_param_value), 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
    one.event.param_id = id;
    one.event.note_id = -1;
    one.event.port_index = one.event.channel = one.event.key = -1;
    one.event.value = value;
    const clap_input_events in{&one, [](const clap_input_events*) { return 1u; },
                               [](const clap_input_events* l, uint32_t) -> const clap_event_header* {
                                   return &static_cast<One*>(l->ctx)->event.header;
                               }};
    const clap_output_events out{nullptr, [](const clap_output_events*, const clap_event_header*) { return true; }};
    proxy.extParams->flush(proxy.instance, &in, &out);
}

double paramValue(Clap::Plugin& proxy, clap_id id) {
    double value = -1;
    EXPECT_TRUE(proxy.extParams->get_value(proxy.instance, id, &value));
    return value;
}

TEST(ProgramEntry, TheLumivexPluginKeepsItsStateAcrossQuitAndStart) {
    char pattern[] = "/tmp/lumivex-entry-XXXXXX";
    const fs::path root = ::mkdtemp(pattern);
    ::setenv("XDG_DATA_HOME", root.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", root.c_str(), 1);
    char arg0[] = "Lumivex";
    char* argv[] = {arg0, nullptr};

    auto proxy = mainCreatePlugin(&clap_entry, "com.quendry.lumivex", 0, 1, argv);
    ASSERT_NE(proxy, nullptr);
    EXPECT_NE(proxy->extState, nullptr);
    EXPECT_NE(proxy->extGui, nullptr) << "the panel embeds in the host's X11 window";
    EXPECT_EQ(getStandaloneHost()->numAudioInputs, 1u);
    EXPECT_NE(fxcore::standalone::FXCoreAudioPrefsWatcher::forProcess(), nullptr) << "the remembered devices are set up";
    EXPECT_TRUE(getStandaloneHost()->hasMIDIInput);
    setParam(*proxy, kPot0, 0.25);
    Clap::StateMemento expected;
    ASSERT_TRUE(proxy->save(&expected.outStream));
    proxy.reset();
    mainFinish();

    const fs::path settings = root / "clap-standalone-host" / "com.quendry.lumivex" / "settings.claphost";
    std::ifstream file(settings, std::ios::binary);
    const std::vector<uint8_t> written{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    EXPECT_EQ(written, expected.memory);

    proxy = mainCreatePlugin(&clap_entry, "com.quendry.lumivex", 0, 1, argv);
    ASSERT_NE(proxy, nullptr);
    EXPECT_DOUBLE_EQ(paramValue(*proxy, kPot0), 0.25);
    proxy.reset();
    mainFinish();
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("XDG_CONFIG_HOME");
    fs::remove_all(root);
}

}  // namespace
