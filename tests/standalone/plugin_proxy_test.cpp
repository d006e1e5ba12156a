// The host-side proxy: creating and connecting a plug-in, the host record and
// extensions it offers, thread identity, the log format and the state memento.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "fake_plugin.h"
#include "recording_host.h"
#include "standalone/host_extensions.h"
#include "standalone/plugin_proxy.h"
#include "standalone/state_memento.h"
#include "standalone/thread_identity.h"

namespace {

using satest::FakeWorld;
using satest::RecordingHost;

struct ProxyTest : ::testing::Test {
    FakeWorld world;
    RecordingHost host;

    std::shared_ptr<Clap::Plugin> create() {
        return Clap::Plugin::createInstance(&FakeWorld::factory, std::string(FakeWorld::descriptor.id), &host);
    }
    template <class Table>
    const Table& ext(Clap::Plugin& proxy, const char* id) {
        return *static_cast<const Table*>(proxy.clapHost.get_extension(&proxy.clapHost, id));
    }
};

TEST_F(ProxyTest, ConnectingAsksEachExtensionOnceInOrderAndFallsBackOnlyAfterNull) {
    world.config.extensions.insert(CLAP_EXT_CONTEXT_MENU);
    auto proxy = create();
    ASSERT_NE(proxy, nullptr);
    ASSERT_NE(world.last, nullptr);
    EXPECT_EQ(proxy->instance, &world.last->plugin);
    const std::vector<std::string> expected = {
        CLAP_EXT_STATE, CLAP_EXT_PARAMS, CLAP_EXT_AUDIO_PORTS, CLAP_EXT_CONFIGURABLE_AUDIO_PORTS,
        CLAP_EXT_CONFIGURABLE_AUDIO_PORTS_COMPAT, CLAP_EXT_AUDIO_PORTS_ACTIVATION,
        CLAP_EXT_AUDIO_PORTS_ACTIVATION_COMPAT, CLAP_EXT_NOTE_PORTS, CLAP_EXT_LATENCY, CLAP_EXT_RENDER, CLAP_EXT_TAIL,
        CLAP_EXT_GUI, CLAP_EXT_TIMER_SUPPORT, CLAP_EXT_TRACK_INFO, Clap::kExtAra, CLAP_EXT_CONTEXT_MENU,
        Clap::kExtGainAdjustmentMetering, Clap::kExtAuv2ParamOrdering, CLAP_EXT_POSIX_FD_SUPPORT};
    EXPECT_EQ(world.last->asked, expected);  // the draft context menu id is never asked
    EXPECT_NE(proxy->extState, nullptr);
    EXPECT_NE(proxy->extParams, nullptr);
    EXPECT_NE(proxy->extAudioPorts, nullptr);
    EXPECT_NE(proxy->extNotePorts, nullptr);
    EXPECT_NE(proxy->extContextMenu, nullptr);
    EXPECT_EQ(proxy->extGui, nullptr);
    EXPECT_EQ(proxy->extTail, nullptr);
}

TEST_F(ProxyTest, DraftContextMenuIsTakenWhenOnlyItIsAnswered) {
    world.config.extensions.insert(CLAP_EXT_CONTEXT_MENU_COMPAT);
    auto proxy = create();
    EXPECT_NE(proxy->extContextMenu, nullptr);
}

TEST_F(ProxyTest, GuiIsKeptOnlyWhenItEmbedsInTheHostsWindowApi) {
    world.config.extensions.insert(CLAP_EXT_GUI);
    EXPECT_NE(create()->extGui, nullptr);
    world.config.guiSupportsHostApi = false;
    EXPECT_EQ(create()->extGui, nullptr);
}

TEST_F(ProxyTest, FailedInitDestroysTheInstanceAndLeavesAProxyWithoutOne) {
    world.config.initResult = false;
    auto proxy = create();
    ASSERT_NE(proxy, nullptr);
    EXPECT_EQ(proxy->instance, nullptr);
    EXPECT_EQ(world.last, nullptr) << "destroyed";
    EXPECT_EQ(proxy->extState, nullptr);
}

TEST_F(ProxyTest, UnknownIdentifierAndOutOfRangeIndexCreateNothing) {
    EXPECT_EQ(Clap::Plugin::createInstance(&FakeWorld::factory, std::string("no.such.plugin"), &host), nullptr);
    EXPECT_EQ(Clap::Plugin::createInstance(&FakeWorld::factory, size_t{1}, &host), nullptr);
    EXPECT_EQ(world.created, 0);
    auto byIndex = Clap::Plugin::createInstance(&FakeWorld::factory, size_t{0}, &host);
    ASSERT_NE(byIndex, nullptr);
    EXPECT_NE(byIndex->instance, nullptr);
}

TEST_F(ProxyTest, HostRecordAndLifetime) {
    auto proxy = create();
    const clap_host& record = proxy->clapHost;
    EXPECT_EQ(record.host_data, proxy.get());
    EXPECT_STREQ(record.name, "Recording Host");
    EXPECT_STREQ(record.version, "0.16.0");
    EXPECT_EQ(record.clap_version.major, 1u);
    EXPECT_EQ(record.clap_version.minor, 2u);
    EXPECT_EQ(record.clap_version.revision, 6u);
    EXPECT_EQ(world.last->host, &record);
    EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), "host_get_name"), 1);
    EXPECT_EQ(proxy->sampleRate, 44100.0);
    proxy.reset();
    EXPECT_EQ(world.last, nullptr) << "the destructor destroys the instance";
}

TEST_F(ProxyTest, InitializeHandsThePortsToTheHostInOrder) {
    auto proxy = create();
    host.calls.clear();
    EXPECT_TRUE(proxy->initialize());
    EXPECT_EQ(host.calls, (std::vector<std::string>{"setupHostSpecifics", "setupAudioBusses", "setupMIDIBusses",
                                                    "setupParameters"}));
    world.config.extensions = {CLAP_EXT_PARAMS};
    auto bare = create();
    host.calls.clear();
    bare->initialize();
    EXPECT_EQ(host.calls, (std::vector<std::string>{"setupHostSpecifics", "setupParameters"}));
}

TEST_F(ProxyTest, InstanceOperationsPassTheirArgumentsAndMissingTablesAnswerFalse) {
    world.config.extensions = {};
    auto proxy = create();
    proxy->setSampleRate(96000);
    proxy->setBlockSizes(1, 512);
    EXPECT_TRUE(proxy->activate());
    EXPECT_EQ(world.last->activatedRate, 96000);
    EXPECT_EQ(world.last->activatedMax, 512u);
    proxy->setBusActivation(true, 0, false);  // no activation table: nothing happens
    Clap::StateMemento memento;
    EXPECT_FALSE(proxy->save(&memento.outStream));
    EXPECT_FALSE(proxy->load(&memento.inStream));
    EXPECT_TRUE(memento.memory.empty());
}

TEST_F(ProxyTest, HostExtensionsOfferedAreTheHostsOnly) {
    auto proxy = create();
    const clap_host* h = &proxy->clapHost;
    for (const char* id : {CLAP_EXT_LOG, CLAP_EXT_PARAMS, CLAP_EXT_TRACK_INFO, CLAP_EXT_THREAD_CHECK, CLAP_EXT_GUI,
                           CLAP_EXT_TIMER_SUPPORT, CLAP_EXT_LATENCY, CLAP_EXT_TAIL, CLAP_EXT_STATE,
                           CLAP_EXT_CONTEXT_MENU, CLAP_EXT_POSIX_FD_SUPPORT})
        EXPECT_NE(h->get_extension(h, id), nullptr) << id;
    for (const char* id : {CLAP_EXT_AUDIO_PORTS, CLAP_EXT_NOTE_PORTS, CLAP_EXT_CONTEXT_MENU_COMPAT, "clap.unknown"})
        EXPECT_EQ(h->get_extension(h, id), nullptr) << id;
    EXPECT_EQ(h->get_extension(h, CLAP_EXT_STATE), &Clap::HostExt::state);
}

TEST_F(ProxyTest, HostExtensionEntriesForwardToTheHostInterface) {
    auto proxy = create();
    const clap_host* h = &proxy->clapHost;
    host.calls.clear();
    host.answer = false;
    ext<clap_host_params>(*proxy, CLAP_EXT_PARAMS).rescan(h, CLAP_PARAM_RESCAN_VALUES);
    ext<clap_host_params>(*proxy, CLAP_EXT_PARAMS).clear(h, 100, CLAP_PARAM_CLEAR_ALL);  // does nothing
    ext<clap_host_params>(*proxy, CLAP_EXT_PARAMS).request_flush(h);
    ext<clap_host_latency>(*proxy, CLAP_EXT_LATENCY).changed(h);
    ext<clap_host_tail>(*proxy, CLAP_EXT_TAIL).changed(h);
    ext<clap_host_state>(*proxy, CLAP_EXT_STATE).mark_dirty(h);
    clap_id timer = 0;
    EXPECT_FALSE(ext<clap_host_timer_support>(*proxy, CLAP_EXT_TIMER_SUPPORT).register_timer(h, 30, &timer));
    ext<clap_host_timer_support>(*proxy, CLAP_EXT_TIMER_SUPPORT).unregister_timer(h, 7);
    const auto& gui = ext<clap_host_gui>(*proxy, CLAP_EXT_GUI);
    gui.resize_hints_changed(h);
    EXPECT_FALSE(gui.request_resize(h, 394, 722));
    gui.request_show(h);
    host.answer = true;
    EXPECT_FALSE(gui.request_hide(h)) << "answered without asking the host";
    gui.closed(h, true);
    clap_track_info info{};
    EXPECT_TRUE(ext<clap_host_track_info>(*proxy, CLAP_EXT_TRACK_INFO).get(h, &info));
    const auto& fds = ext<clap_host_posix_fd_support>(*proxy, CLAP_EXT_POSIX_FD_SUPPORT);
    fds.register_fd(h, 5, CLAP_POSIX_FD_READ);
    fds.modify_fd(h, 5, CLAP_POSIX_FD_WRITE);
    fds.unregister_fd(h, 5);
    h->request_restart(h);
    h->request_process(h);  // accepted and ignored
    h->request_callback(h);
    EXPECT_EQ(host.calls, (std::vector<std::string>{
                              "param_rescan 1", "param_request_flush", "latency_changed", "tail_changed", "mark_dirty",
                              "register_timer 30", "unregister_timer 7", "gui_request_resize 394 722",
                              "gui_request_show", "track_info_get", "register_fd 5 1", "modify_fd 5 2",
                              "unregister_fd 5", "restartPlugin", "request_callback"}));
}

TEST_F(ProxyTest, ContextMenuAsksTheHostOnlyWhenItSupportsMenus) {
    auto proxy = create();
    const clap_host* h = &proxy->clapHost;
    const auto& menu = ext<clap_host_context_menu>(*proxy, CLAP_EXT_CONTEXT_MENU);
    clap_context_menu_target target{CLAP_CONTEXT_MENU_TARGET_KIND_GLOBAL, 0};
    host.calls.clear();
    host.answer = false;
    EXPECT_TRUE(menu.populate(h, &target, nullptr));
    EXPECT_TRUE(proxy->context_menu_populate(&target, nullptr));
    EXPECT_FALSE(menu.can_popup(h));
    EXPECT_TRUE(host.calls.empty());
    host.contextMenu = true;
    EXPECT_FALSE(menu.populate(h, &target, nullptr));
    EXPECT_FALSE(menu.perform(h, &target, 3));
    EXPECT_FALSE(menu.popup(h, &target, 0, 10, 20));
    EXPECT_EQ(host.calls, (std::vector<std::string>{"context_menu_populate", "context_menu_perform 3",
                                                    "context_menu_popup 0 10 20"}));
}

TEST_F(ProxyTest, CreatorThreadIsMainAndEveryOtherThreadIsAudioUnlessOverridden) {
    auto proxy = create();
    const auto& check = ext<clap_host_thread_check>(*proxy, CLAP_EXT_THREAD_CHECK);
    const clap_host* h = &proxy->clapHost;
    EXPECT_TRUE(check.is_main_thread(h));
    EXPECT_FALSE(check.is_audio_thread(h));

    proxy->start_processing();  // raises the audio override for the call
    EXPECT_TRUE(world.last->mainDuringStart);
    EXPECT_TRUE(world.last->audioDuringStart);
    EXPECT_FALSE(check.is_audio_thread(h));

    bool main = true, audio = false, mainOverridden = false;
    std::thread([&] {
        main = check.is_main_thread(h);
        audio = check.is_audio_thread(h);
        auto guard = Clap::AlwaysMainThread();
        mainOverridden = proxy->is_main_thread();
    }).join();
    EXPECT_FALSE(main);
    EXPECT_TRUE(audio);
    EXPECT_TRUE(mainOverridden);
    EXPECT_EQ(Clap::g_main_thread_override, 0);
}

TEST_F(ProxyTest, NothingTheHostInterfaceThrowsReachesThePlugin) {
    auto proxy = create();
    const clap_host* h = &proxy->clapHost;
    host.throws = true;
    host.contextMenu = true;
    clap_id timer = 0;
    testing::internal::CaptureStderr();
    ext<clap_host_params>(*proxy, CLAP_EXT_PARAMS).request_flush(h);
    h->request_callback(h);
    EXPECT_FALSE(ext<clap_host_timer_support>(*proxy, CLAP_EXT_TIMER_SUPPORT).register_timer(h, 30, &timer));
    EXPECT_FALSE(ext<clap_host_gui>(*proxy, CLAP_EXT_GUI).request_resize(h, 394, 722));
    EXPECT_FALSE(ext<clap_host_context_menu>(*proxy, CLAP_EXT_CONTEXT_MENU).populate(h, nullptr, nullptr));
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 5) << errors;
    EXPECT_NE(errors.find("HOST: gui request_resize failed: gui_request_resize 394 722 threw"), std::string::npos);
}

TEST(PluginLog, SeverityPrefixesAndTheHostMisbehavingEcho) {
    const char* const prefixes[] = {"PLUGIN: DEBUG: ", "PLUGIN: INFO: ", "PLUGIN: WARNING: ", "PLUGIN: ERROR: ",
                                    "PLUGIN: FATAL: ", "PLUGIN: HOST MISBEHAVING: ", "PLUGIN: MISBEHAVING: "};
    for (int severity = 0; severity <= 6; ++severity) {
        testing::internal::CaptureStderr();
        Clap::HostExt::host_log(nullptr, severity, "msg");
        const std::string expected = (severity == 5 ? "msg\n" : "") + std::string(prefixes[severity]) + "msg\n";
        EXPECT_EQ(testing::internal::GetCapturedStderr(), expected) << severity;
    }
    for (int severity : {7, -1}) {
        testing::internal::CaptureStderr();
        Clap::Plugin::log(severity, "bare");
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "bare\n");
    }
}

TEST_F(ProxyTest, NullTextsFromThePluginAreRefusedWithAMessage) {
    auto proxy = create();
    const clap_host* h = &proxy->clapHost;
    testing::internal::CaptureStderr();
    EXPECT_EQ(h->get_extension(h, nullptr), nullptr);
    ext<clap_host_log>(*proxy, CLAP_EXT_LOG).log(h, CLAP_LOG_HOST_MISBEHAVING, nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "HOST: the plug-in asked for a host extension without an id; answered none\n"
              "HOST: the plug-in logged a message without text; ignored\n");
}

TEST(StateMemento, ReadsWhatIsLeftThenNothingAndStartsOverOnSetData) {
    Clap::StateMemento memento;
    const uint8_t data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    memento.setData(data, sizeof data);
    uint8_t buffer[4];
    std::vector<int64_t> got;
    for (int i = 0; i < 4; ++i) got.push_back(memento.inStream.read(&memento.inStream, buffer, 4));
    EXPECT_EQ(got, (std::vector<int64_t>{4, 4, 2, 0}));
    EXPECT_EQ(buffer[1], 9);
    memento.setData(data, 3);
    EXPECT_EQ(memento.inStream.read(&memento.inStream, buffer, 4), 3);
    EXPECT_EQ(memento.outStream.write(&memento.outStream, data, 5), 5);
    EXPECT_EQ(memento.memory.size(), 8u);
}

}  // namespace
