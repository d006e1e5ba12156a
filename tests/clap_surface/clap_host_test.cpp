// A host's view of the plug-in: everything goes through the entry, the factory,
// the clap_plugin record and the extension tables, as a CLAP host reaches it.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "fxcoreplug/clap_entry.h"
#include "fxcoreplug/plugin_info_as_vst3.h"
#include "surface_support.h"

namespace {

using surface::Bytes;
const clap_plugin_entry& kEntry = fxcoreplug::kPluginEntry;

const clap_plugin_factory* factory() {
    return static_cast<const clap_plugin_factory*>(kEntry.get_factory(CLAP_PLUGIN_FACTORY_ID));
}

// An instance created by id and initialised; destroyed with the object.
class Instance {
public:
    explicit Instance(const clap_host* host)
        : plugin_(factory()->create_plugin(factory(), host, "com.quendry.lumivex")) {
        EXPECT_NE(plugin_, nullptr);
        EXPECT_TRUE(plugin_->init(plugin_));
        params = static_cast<const clap_plugin_params*>(plugin_->get_extension(plugin_, CLAP_EXT_PARAMS));
        state = static_cast<const clap_plugin_state*>(plugin_->get_extension(plugin_, CLAP_EXT_STATE));
    }
    ~Instance() { plugin_->destroy(plugin_); }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    const clap_plugin* operator->() const { return plugin_; }
    const clap_plugin* get() const { return plugin_; }

    double value(clap_id id) const {
        double v = -1.0;
        EXPECT_TRUE(params->get_value(plugin_, id, &v)) << id;
        return v;
    }
    std::vector<double> values() const {
        std::vector<double> all;
        for (uint32_t i = 0; i < params->count(plugin_); ++i) {
            clap_param_info info{};
            EXPECT_TRUE(params->get_info(plugin_, i, &info));
            all.push_back(value(info.id));
        }
        return all;
    }
    std::string text(clap_id id, double v) const {
        char buffer[CLAP_NAME_SIZE];
        EXPECT_TRUE(params->value_to_text(plugin_, id, v, buffer, sizeof(buffer))) << id;
        return buffer;
    }
    Bytes save() const {
        surface::MemoryOut out;
        EXPECT_TRUE(state->save(plugin_, &out.stream));
        return out.data;
    }
    bool load(const Bytes& bytes, uint64_t chunk = 0) const {
        surface::MemoryIn in(bytes, chunk);
        return state->load(plugin_, &in.stream);
    }
    // Runs `blocks` blocks of the noise input from `seed`, appending the left and
    // right outputs to `out`.
    void play(int blocks, uint32_t frames, uint32_t seed, std::vector<float>& out) const {
        surface::StereoBlock block(frames);
        for (int b = 0; b < blocks; ++b) {
            seed = block.fillNoise(seed);
            EXPECT_EQ(plugin_->process(plugin_, &block.process), CLAP_PROCESS_CONTINUE);
            out.insert(out.end(), block.outL.begin(), block.outL.end());
            out.insert(out.end(), block.outR.begin(), block.outR.end());
        }
    }

    const clap_plugin_params* params = nullptr;
    const clap_plugin_state* state = nullptr;

private:
    const clap_plugin* plugin_;
};

std::string ownDirectory() {
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    std::string path(buffer, n > 0 ? static_cast<size_t>(n) : 0);
    return path.substr(0, path.find_last_of('/'));
}

// ---- entry, factory, descriptor ----

TEST(ClapEntry, InitCountsAndTheFirstInitRemembersTheBundleDirectory) {
    ASSERT_EQ(fxcoreplug::entryInitCount(), 0) << "every test leaves the entry de-initialised";
    EXPECT_EQ(kEntry.clap_version.major, 1u);
    EXPECT_EQ(kEntry.clap_version.minor, 2u);
    EXPECT_EQ(kEntry.clap_version.revision, 6u);

    EXPECT_TRUE(kEntry.init("/opt/plugins/Lumivex.clap"));
    EXPECT_TRUE(kEntry.init("/elsewhere/Other.clap"));
    EXPECT_EQ(fxcoreplug::entryInitCount(), 2);
    EXPECT_EQ(fxcoreplug::entryBundleDirectory(), "/opt/plugins") << "only the first init looks at its path";
    kEntry.deinit();
    kEntry.deinit();
    EXPECT_EQ(fxcoreplug::entryInitCount(), 0);
    kEntry.deinit();
    EXPECT_EQ(fxcoreplug::entryInitCount(), 0) << "never below 0";

    const struct {
        const char* path;
        std::string directory;
    } cases[] = {{"/Lumivex.clap", "/"}, {"Lumivex.clap", ownDirectory()}, {nullptr, ownDirectory()}};
    for (const auto& c : cases) {
        EXPECT_TRUE(kEntry.init(c.path));
        EXPECT_EQ(fxcoreplug::entryBundleDirectory(), c.directory) << (c.path ? c.path : "null");
        kEntry.deinit();
    }
    EXPECT_EQ(fxcoreplug::entryInitCount(), 0);
}

TEST(ClapEntry, FactoryLookupAndDescriptor) {
    EXPECT_NE(factory(), nullptr) << "the factory works without init";
    EXPECT_EQ(kEntry.get_factory(nullptr), nullptr);
    EXPECT_EQ(kEntry.get_factory("clap.plugin-factory.x"), nullptr);
    EXPECT_EQ(kEntry.get_factory("clap.plugin-factor"), nullptr);

    const clap_plugin_factory* f = factory();
    EXPECT_EQ(f->get_plugin_count(f), 1u);
    EXPECT_EQ(f->get_plugin_descriptor(f, 1), nullptr);
    const clap_plugin_descriptor* d = f->get_plugin_descriptor(f, 0);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->clap_version.major, 1u);
    EXPECT_EQ(d->clap_version.minor, 2u);
    EXPECT_EQ(d->clap_version.revision, 6u);
    EXPECT_STREQ(d->id, "com.quendry.lumivex");
    EXPECT_STREQ(d->name, "Lumivex");
    EXPECT_STREQ(d->vendor, "Quendry");
    EXPECT_EQ(std::string(d->url).rfind("https://", 0), 0u) << d->url;
    EXPECT_STREQ(d->manual_url, "");
    EXPECT_STREQ(d->support_url, "");
    EXPECT_STREQ(d->version, "0.1.0");
    EXPECT_STREQ(d->description, "Lumivex -- FXCore emulation running the pedal's own firmware");
    ASSERT_NE(d->features, nullptr);
    EXPECT_STREQ(d->features[0], "audio-effect");
    EXPECT_STREQ(d->features[1], "stereo");
    EXPECT_EQ(d->features[2], nullptr);
}

TEST(ClapEntry, CreateNeedsTheExactIdAndIgnoresTheHostsVersion) {
    const clap_plugin_factory* f = factory();
    for (const char* id : {"com.quendry.lumivey", "Com.quendry.lumivex", "com.quendry.lumive", "com.quendry.lumivex.",
                           "", static_cast<const char*>(nullptr)})
        EXPECT_EQ(f->create_plugin(f, nullptr, id), nullptr) << (id ? id : "null");

    surface::FakeHost host;
    host.host.clap_version = {0, 0, 0};
    const clap_plugin* p = f->create_plugin(f, &host.host, "com.quendry.lumivex");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->desc, f->get_plugin_descriptor(f, 0));
    EXPECT_NE(p->plugin_data, nullptr);
    EXPECT_TRUE(p->init(p));
    EXPECT_TRUE(p->start_processing(p));
    p->stop_processing(p);
    p->destroy(p);
}

// ---- extensions ----

TEST(ClapExtensions, NineTablesAreOfferedAndNothingElse) {
    Instance p(nullptr);
    for (const char* id : {"clap.audio-ports", "clap.params", "clap.state", "clap.tail", "clap.gui", "clap.note-ports",
                           "clap.plugin-info-as-vst3/0", "clap.timer-support", "clap.posix-fd-support"})
        EXPECT_NE(p->get_extension(p.get(), id), nullptr) << id;
    for (const char* id :
         {"clap.latency", "clap.gui ", "clap.params ", "clap.state.", "", static_cast<const char*>(nullptr)})
        EXPECT_EQ(p->get_extension(p.get(), id), nullptr) << (id ? id : "null");

    Instance q(nullptr);
    EXPECT_EQ(p->get_extension(p.get(), CLAP_EXT_PARAMS), q->get_extension(q.get(), CLAP_EXT_PARAMS))
        << "the tables are shared by all instances";
}

TEST(ClapExtensions, AudioPorts) {
    Instance p(nullptr);
    const auto* ports = static_cast<const clap_plugin_audio_ports*>(p->get_extension(p.get(), CLAP_EXT_AUDIO_PORTS));
    ASSERT_NE(ports, nullptr);
    for (bool isInput : {true, false}) {
        EXPECT_EQ(ports->count(p.get(), isInput), 1u);
        clap_audio_port_info info;
        std::memset(&info, 0x5A, sizeof(info));
        ASSERT_TRUE(ports->get(p.get(), 0, isInput, &info));
        EXPECT_EQ(info.id, isInput ? 0u : 1u);
        EXPECT_STREQ(info.name, isInput ? "Input" : "Output");
        EXPECT_EQ(info.flags, static_cast<uint32_t>(CLAP_AUDIO_PORT_IS_MAIN));
        EXPECT_EQ(info.channel_count, 2u);
        ASSERT_NE(info.port_type, nullptr);
        EXPECT_STREQ(info.port_type, "stereo");
        EXPECT_EQ(info.in_place_pair, 0xFFFFFFFFu);

        clap_audio_port_info untouched;
        std::memset(&info, 0x5A, sizeof(info));
        std::memcpy(&untouched, &info, sizeof(info));
        EXPECT_FALSE(ports->get(p.get(), 1, isInput, &info));
        EXPECT_EQ(std::memcmp(&info, &untouched, sizeof(info)), 0);
    }
}

TEST(ClapExtensions, NotePorts) {
    Instance p(nullptr);
    const auto* ports = static_cast<const clap_plugin_note_ports*>(p->get_extension(p.get(), CLAP_EXT_NOTE_PORTS));
    ASSERT_NE(ports, nullptr);
    EXPECT_EQ(ports->count(p.get(), true), 1u);
    EXPECT_EQ(ports->count(p.get(), false), 0u);

    clap_note_port_info info;
    std::memset(&info, 'x', sizeof(info));
    ASSERT_TRUE(ports->get(p.get(), 0, true, &info));
    EXPECT_EQ(info.id, 0u);
    EXPECT_EQ(info.supported_dialects, static_cast<uint32_t>(CLAP_NOTE_DIALECT_MIDI));
    EXPECT_EQ(info.preferred_dialect, static_cast<uint32_t>(CLAP_NOTE_DIALECT_MIDI));
    EXPECT_STREQ(info.name, "MIDI Control");
    EXPECT_EQ(info.name[13], 'x') << "the rest of the name field is left as it was";

    clap_note_port_info untouched;
    std::memset(&info, 'x', sizeof(info));
    std::memcpy(&untouched, &info, sizeof(info));
    EXPECT_FALSE(ports->get(p.get(), 0, false, &info));
    EXPECT_FALSE(ports->get(p.get(), 1, true, &info));
    EXPECT_EQ(std::memcmp(&info, &untouched, sizeof(info)), 0);
    EXPECT_FALSE(ports->get(p.get(), 0, true, nullptr));
}

TEST(ClapExtensions, TailAndVst3Information) {
    Instance p(nullptr);
    const auto* tail = static_cast<const clap_plugin_tail*>(p->get_extension(p.get(), CLAP_EXT_TAIL));
    ASSERT_NE(tail, nullptr);
    EXPECT_EQ(tail->get(p.get()), 32768u);

    const auto* vst3 =
        static_cast<const clap_plugin_info_as_vst3*>(p->get_extension(p.get(), "clap.plugin-info-as-vst3/0"));
    ASSERT_NE(vst3, nullptr);
    for (uint32_t port : {0u, 1u, 77u}) EXPECT_EQ(vst3->get_num_midi_channels(p.get(), port), 1u);
    EXPECT_EQ(vst3->supported_note_expressions(p.get()), 0u);
}

TEST(ClapExtensions, ParamSlotsGiveTheMembersAnswers) {
    Instance p(nullptr);
    EXPECT_EQ(p.params->count(p.get()), 18u);
    clap_param_info info{};
    ASSERT_TRUE(p.params->get_info(p.get(), 0, &info));
    EXPECT_STREQ(info.name, "Time");
    EXPECT_FALSE(p.params->get_info(p.get(), 18, &info));
    double v = -1.0;
    EXPECT_FALSE(p.params->get_value(p.get(), 999, &v));
    EXPECT_EQ(p.text(400, 0.0), "kv-lumivex");
    EXPECT_EQ(p.text(402, 0.0), "0: kv-lumivex");
    EXPECT_TRUE(p.params->value_to_text(p.get(), 100, 0.5, nullptr, 0));
    EXPECT_TRUE(p.params->text_to_value(p.get(), 999, "3", &v));
    EXPECT_EQ(v, 3.0);
    EXPECT_FALSE(p.params->text_to_value(p.get(), 400, "KV-LUMIVEX", &v));
}

// ---- processing ----

TEST(ClapProcess, ReturnsContinueForEveryBlockEvenWithoutOutputs) {
    Instance p(nullptr);
    ASSERT_TRUE(p->activate(p.get(), 48000.0, 1, 64));
    ASSERT_TRUE(p->start_processing(p.get()));
    surface::StereoBlock block(64);
    surface::InputEvents events{surface::paramEvent(0, 100, 0.25)};
    block.process.in_events = events.list();
    EXPECT_EQ(p->process(p.get(), &block.process), CLAP_PROCESS_CONTINUE);

    block.process.audio_outputs_count = 0;
    block.process.audio_outputs = nullptr;
    EXPECT_EQ(p->process(p.get(), &block.process), CLAP_PROCESS_CONTINUE);
    block.process.audio_inputs_count = 0;
    block.process.audio_inputs = nullptr;
    block.process.frames_count = 0;
    EXPECT_EQ(p->process(p.get(), &block.process), CLAP_PROCESS_CONTINUE);
    p->stop_processing(p.get());
    p->deactivate(p.get());
}

// A whole session: information and texts, two activations with parameter and MIDI
// events, a flush, a save; then a second instance loads the state and must hold the
// same values and bank and play exactly the same audio.
TEST(ClapSession, AStateSavedAfterASessionRecreatesTheInstance) {
    ASSERT_TRUE(kEntry.init("/tmp/lumivex-host/Lumivex.clap"));
    surface::FakeHost host;
    std::vector<float> reference;
    std::vector<double> values;
    Bytes saved;
    std::string bankText;
    {
        Instance a(&host.host);
        const uint32_t count = a.params->count(a.get());
        ASSERT_EQ(count, 18u);
        for (uint32_t i = 0; i < count; ++i) {
            clap_param_info info{};
            ASSERT_TRUE(a.params->get_info(a.get(), i, &info));
            const double v = a.value(info.id);
            EXPECT_GE(v, info.min_value) << info.name;
            EXPECT_LE(v, info.max_value) << info.name;
            EXPECT_EQ(v, info.default_value) << info.name;
            const std::string shown = a.text(info.id, v);
            EXPECT_FALSE(shown.empty()) << info.name;
            if (info.id == 401) continue;  // the Monitor words do not parse back
            double back = -1.0;
            EXPECT_TRUE(a.params->text_to_value(a.get(), info.id, shown.c_str(), &back)) << shown;
            EXPECT_EQ(back, v) << info.name << " \"" << shown << "\"";
        }

        // First activation at 44.1 kHz: host values (not echoed) and MIDI controls (echoed).
        ASSERT_TRUE(a->activate(a.get(), 44100.0, 1, 256));
        ASSERT_TRUE(a->start_processing(a.get()));
        surface::StereoBlock block(256);
        surface::EventSink sink;
        block.process.out_events = &sink.events;
        uint32_t seed = 1;
        for (int b = 0; b < 12; ++b) {
            surface::InputEvents events;
            if (b == 0)
                events.add(surface::paramEvent(0, 100, 0.2))
                    .add(surface::paramEvent(100, 101, 0.8))
                    .add(surface::paramEvent(200, 501, -3.0));
            if (b == 3)
                events.add(surface::midiEvent(10, 0xB0, 50, 64))
                    .add(surface::midiEvent(20, 0xB3, 103, 127))
                    .add(surface::midiEvent(30, 0xB0, 104, 127));
            if (b == 5)  // SW1 off, SW2 toggled on
                events.add(surface::midiEvent(0, 0xB0, 104, 0)).add(surface::midiEvent(255, 0xB0, 111, 127));
            block.process.in_events = events.list();
            seed = block.fillNoise(seed);
            EXPECT_EQ(a->process(a.get(), &block.process), CLAP_PROCESS_CONTINUE);
            for (float s : block.outL) ASSERT_TRUE(std::isfinite(s));
        }
        block.process.in_events = nullptr;
        const std::vector<std::pair<uint32_t, double>> echoes = {
            {100, 64.0 / 127.0}, {200, 1.0}, {201, 1.0}, {201, 0.0}, {202, 1.0}};
        EXPECT_EQ(sink.values, echoes);
        EXPECT_EQ(a.value(100), 64.0 / 127.0);
        EXPECT_EQ(a.value(101), 0.8);
        EXPECT_EQ(a.value(501), -3.0);
        EXPECT_EQ(a.value(200), 1.0);
        EXPECT_EQ(a.value(201), 0.0);
        EXPECT_EQ(a.value(202), 1.0);
        a->stop_processing(a.get());
        a->deactivate(a.get());

        // The first block installed the program; the host hears about it on the main thread.
        EXPECT_GT(host.callbackRequests.load(), 0);
        a->on_main_thread(a.get());
        EXPECT_EQ(host.rescans.load(), 1);
        EXPECT_EQ(host.lastRescanFlags.load(), static_cast<uint32_t>(CLAP_PARAM_RESCAN_INFO));

        // While inactive, the host hands values over through flush.
        surface::InputEvents flushed{surface::paramEvent(0, 102, 0.33), surface::paramEvent(0, 300, 0.0),
                                     surface::paramEvent(0, 999, 1.0)};
        surface::EventSink flushSink;
        a.params->flush(a.get(), flushed.list(), &flushSink.events);
        EXPECT_EQ(a.value(102), 0.33);
        EXPECT_EQ(a.value(300), 0.0);
        EXPECT_TRUE(flushSink.values.empty()) << "host values are not echoed";

        // Second activation at 48 kHz.
        ASSERT_TRUE(a->activate(a.get(), 48000.0, 1, 128));
        ASSERT_TRUE(a->start_processing(a.get()));
        surface::StereoBlock small(128);
        for (int b = 0; b < 6; ++b) {
            surface::InputEvents events;
            if (b == 2) events.add(surface::paramEvent(5, 104, 0.1)).add(surface::midiEvent(64, 0xB0, 55, 127));
            small.process.in_events = events.list();
            seed = small.fillNoise(seed);
            EXPECT_EQ(a->process(a.get(), &small.process), CLAP_PROCESS_CONTINUE);
        }
        a->stop_processing(a.get());
        a->deactivate(a.get());
        EXPECT_EQ(a.value(105), 1.0);

        saved = a.save();
        values = a.values();
        bankText = a.text(400, a.value(400));
        EXPECT_EQ(bankText, "kv-lumivex");

        // What this state sounds like from a fresh start of the chip.
        ASSERT_TRUE(a->activate(a.get(), 48000.0, 1, 128));
        a.play(40, 128, 99, reference);
        a->deactivate(a.get());
    }

    Instance b(&host.host);
    EXPECT_NE(b.values(), values);
    ASSERT_TRUE(b.load(saved, 3));
    EXPECT_EQ(b.values(), values);
    EXPECT_EQ(b.text(400, b.value(400)), bankText);
    EXPECT_EQ(b.save(), saved);
    ASSERT_TRUE(b->activate(b.get(), 48000.0, 1, 128));
    std::vector<float> replay;
    b.play(40, 128, 99, replay);
    ASSERT_EQ(replay.size(), reference.size());
    EXPECT_TRUE(replay == reference) << "the reloaded instance plays differently";
    float peak = 0.0f;
    for (float s : reference) peak = std::max(peak, std::fabs(s));
    EXPECT_GT(peak, 0.0f) << "the comparison needs sound";
    kEntry.deinit();
    EXPECT_EQ(fxcoreplug::entryInitCount(), 0);
}

TEST(ClapSession, TwoInstancesDoNotShareState) {
    Instance a(nullptr);
    Instance b(nullptr);
    const Bytes fresh = b.save();

    surface::InputEvents events{surface::paramEvent(0, 100, 0.1)};
    surface::EventSink sink;
    a.params->flush(a.get(), events.list(), &sink.events);
    EXPECT_EQ(a.value(100), 0.1);
    EXPECT_EQ(b.value(100), 0.5);

    // A custom program and its bank in one instance only.
    auto pairs = surface::freshPairs();
    pairs[0].second = 0.1;
    ASSERT_TRUE(a.load(surface::record(pairs, "Solo", surface::constantProgram(0.25), "(loaded)")));
    EXPECT_EQ(a.text(400, a.value(400)), "(loaded)");
    EXPECT_EQ(b.text(400, 1.0), "-");
    EXPECT_EQ(b.save(), fresh);

    // Same state, blocks interleaved: each instance plays what it plays alone.
    ASSERT_TRUE(a.load(fresh));
    ASSERT_TRUE(a->activate(a.get(), 48000.0, 1, 64));
    ASSERT_TRUE(b->activate(b.get(), 48000.0, 1, 64));
    std::vector<float> outA, outB;
    uint32_t seed = 5;
    for (int i = 0; i < 30; ++i) {
        a.play(1, 64, seed + static_cast<uint32_t>(i), outA);
        b.play(1, 64, seed + static_cast<uint32_t>(i), outB);
    }
    Instance c(nullptr);
    ASSERT_TRUE(c->activate(c.get(), 48000.0, 1, 64));
    std::vector<float> outC;
    for (int i = 0; i < 30; ++i) c.play(1, 64, seed + static_cast<uint32_t>(i), outC);
    EXPECT_TRUE(outA == outC);
    EXPECT_TRUE(outB == outC);
}

}  // namespace
