// The application's launch, set-up, request timer, window size and quit.
#include "shell/clap_host_app.h"

#include <cstdio>
#include <utility>

#include "standalone/audio_error_text.h"
#include "standalone/call_shield.h"
#include "standalone/lifecycle.h"
#include "standalone/process_lock.h"
#include "standalone/startup_settings.h"

namespace brevlin::clap_host::standalone {

std::string invalidWindowSizeText(uint32_t width, uint32_t height) {
    char text[96];
    std::snprintf(text, sizeof text, "The plugin reported an invalid window size (%u x %u).", width, height);
    return text;
}

// The loop serves the plug-in through the program's host object, and only while
// there is one: mainFinish ends it.
ClapHostApp::ClapHostApp(MainWindowPort& window, AlertSink& alerts, const clap_plugin_entry* entry,
                         std::string pluginId, int argc, char** argv)
    : window_(window),
      alerts_(alerts),
      entry_(entry),
      pluginId_(std::move(pluginId)),
      argc_(argc),
      argv_(argv),
      pluginLoop_(
          [](clap_id timerId) {
              if (standaloneHost != nullptr) standaloneHost->dispatchTimer(timerId);
          },
          [](int fd, clap_posix_fd_flags_t flags) {
              if (standaloneHost != nullptr) standaloneHost->dispatchFd(fd, flags);
          }) {}

ClapHostApp::~ClapHostApp() {
    if (setupTimer_ != 0) g_source_remove(setupTimer_);
    if (requestTimer_ != 0) g_source_remove(requestTimer_);
}

void ClapHostApp::applicationDidFinishLaunching() {
    if (setupTimer_ == 0 && !terminated_) setupTimer_ = g_timeout_add(kSetupDelayMs, setupTimerFired, this);
}

void ClapHostApp::doSetup() {
    if (requestTimer_ == 0) requestTimer_ = g_timeout_add(kRequestTimerMs, requestTimerFired, this);

    // The plug-in registers its timers and descriptors as soon as its window
    // exists, and refuses a window nobody would drive.
    StandaloneHost* host = getStandaloneHost();
    host->mainLoop = &pluginLoop_;
    const std::shared_ptr<Clap::Plugin> plugin = mainCreatePlugin(entry_, pluginId_, 0, argc_, argv_);
    window_.orderFront();
    if (plugin == nullptr) {
        alerts_.showAlert(kPluginErrorTitle, kNoPluginText);
        return;
    }

    host->onRequestResize = [this](uint32_t width, uint32_t height) {
        window_.setContentSize(width, height);
        return false;
    };
    if (plugin->extGui != nullptr && !embedPluginWindow(*plugin)) {
        showStartupNotices();
        return;
    }

    host->displayError = [this](const std::string& message) {
        std::fprintf(stderr, "Error Reported: %s\n", message.c_str());
        alerts_.showAlert(kAudioErrorTitle, message);
    };
    mainStartAudio();
    showStartupNotices();
}

// What start-up found wrong with the settings files, told once the pedal runs.
void ClapHostApp::showStartupNotices() {
    for (const StartupNotice& notice : takeStartupNotices())
        alerts_.showAlert(notice.kind == StartupNotice::Kind::SettingsNotLoaded ? kOpenFailedTitle : kSaveFailedTitle,
                          notice.text);
}

bool ClapHostApp::embedPluginWindow(const Clap::Plugin& plugin) {
    const clap_plugin_gui& gui = *plugin.extGui;
    const clap_plugin* instance = plugin.instance;
    gui.is_api_supported(instance, Clap::kHostWindowApi, false);
    if (!gui.create(instance, Clap::kHostWindowApi, false)) {
        alerts_.showAlert(kPluginErrorTitle, kGuiCreateFailedText);
        return false;
    }
    gui.set_scale(instance, 1.0);

    uint32_t width = 0;
    uint32_t height = 0;
    if (!gui.get_size(instance, &width, &height)) {
        alerts_.showAlert(kPluginErrorTitle, kGuiSizeFailedText);
        gui.destroy(instance);
        return false;
    }
    if (width == 0 || height == 0 || width > kMaxWindowSide || height > kMaxWindowSide) {
        alerts_.showAlert(kPluginErrorTitle, invalidWindowSizeText(width, height));
        gui.destroy(instance);
        return false;
    }
    const bool resizable = gui.can_resize(instance);
    if (resizable) gui.adjust_size(instance, &width, &height);

    window_.setUserResizable(resizable);
    window_.setContentSize(width, height);
    clap_window parent{};
    parent.api = Clap::kHostWindowApi;
    parent.x11 = window_.pluginParentWindow();
    // The window is left to quit to destroy: the plug-in may have taken parts of
    // the parent already.
    if (!gui.set_parent(instance, &parent)) {
        alerts_.showAlert(kPluginErrorTitle, kGuiEmbedFailedText);
        return false;
    }
    gui.show(instance);
    return true;
}

void ClapHostApp::timerCallback() {
    StandaloneHost* host = standaloneHost.get();
    if (host == nullptr) return;
    // Each request is taken with one exchange: one raised while it is being served
    // stays for the next tick. Without a plug-in there is nobody to serve.
    if (host->callbackRequested.exchange(false, std::memory_order_acq_rel)) {
        const std::shared_ptr<Clap::Plugin> plugin = getMainPlugin();
        if (plugin != nullptr && plugin->instance != nullptr) plugin->instance->on_main_thread(plugin->instance);
    }
    // A plug-in that no stream has run yet has no rate to restart at; the first
    // stream activates it anyway.
    if (host->restartRequested.exchange(false, std::memory_order_acq_rel) && getMainPlugin() != nullptr &&
        host->streamSampleRate > 0 && host->bufferFrames > 0)
        restartPlugin(*host);
    // The library says nothing to the host when its server goes away: it is seen here.
    host->noticeStreamEnd();
    host->deliverQueuedAudioErrors();
}

// The stream keeps running: its blocks are silent while `running` is off, and
// none is inside the plug-in once the lock has been held with it off.
void ClapHostApp::restartPlugin(StandaloneHost& host) {
    {
        ProcessLockHold hold(host.processLock);
        host.running.exchange(false, std::memory_order_acq_rel);
    }
    host.activatePlugin(host.streamSampleRate, 1, static_cast<int>(2 * host.bufferFrames));
    // Under the lock, so that no block that saw `running` off acknowledges after
    // the clear: a later stop must wait for a block of its own.
    ProcessLockHold hold(host.processLock);
    host.running.exchange(true, std::memory_order_acq_rel);
    host.stopAcknowledged.store(false, std::memory_order_release);
}

std::pair<uint32_t, uint32_t> ClapHostApp::windowWillResize(uint32_t width, uint32_t height) {
    const std::shared_ptr<Clap::Plugin> plugin = getMainPlugin();
    if (plugin == nullptr || plugin->extGui == nullptr) return {width, height};
    const clap_plugin_gui& gui = *plugin->extGui;
    if (gui.can_resize(plugin->instance))
        gui.adjust_size(plugin->instance, &width, &height);
    else
        gui.get_size(plugin->instance, &width, &height);
    return {width, height};
}

void ClapHostApp::windowDidResize(uint32_t width, uint32_t height) {
    const std::shared_ptr<Clap::Plugin> plugin = getMainPlugin();
    if (plugin == nullptr || plugin->extGui == nullptr || !plugin->extGui->can_resize(plugin->instance)) return;
    plugin->extGui->set_size(plugin->instance, width, height);
}

void ClapHostApp::applicationWillTerminate() {
    if (terminated_) return;
    terminated_ = true;
    if (setupTimer_ != 0) {
        g_source_remove(setupTimer_);
        setupTimer_ = 0;
    }
    // Nothing is shown or resized on the plug-in's behalf from here on.
    if (standaloneHost != nullptr) {
        standaloneHost->displayError = nullptr;
        standaloneHost->onRequestResize = nullptr;
    }
    // Also after a set-up that failed to make or embed the window: the plug-in
    // answers both without one.
    if (const std::shared_ptr<Clap::Plugin> plugin = getMainPlugin();
        plugin != nullptr && plugin->extGui != nullptr) {
        plugin->extGui->hide(plugin->instance);
        plugin->extGui->destroy(plugin->instance);
    }
    if (requestTimer_ != 0) {
        g_source_remove(requestTimer_);
        requestTimer_ = 0;
    }
    // The shell holds no reference to the plug-in now, so it goes inside, with the
    // host object, before the entry's deinit.
    mainFinish();
    pluginLoop_.removeAll();
}

gboolean ClapHostApp::setupTimerFired(gpointer app) noexcept {
    auto* self = static_cast<ClapHostApp*>(app);
    self->setupTimer_ = 0;
    Clap::shielded("set-up", [self] { self->doSetup(); });
    return G_SOURCE_REMOVE;
}

gboolean ClapHostApp::requestTimerFired(gpointer app) noexcept {
    Clap::shielded("request timer", [app] { static_cast<ClapHostApp*>(app)->timerCallback(); });
    return G_SOURCE_CONTINUE;
}

}  // namespace brevlin::clap_host::standalone
