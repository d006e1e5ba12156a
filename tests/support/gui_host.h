// The fake host with a main loop of its own, for driving a plug-in's window on the
// test's thread as a Linux host does. The loop turns only when told: serveFds()
// hands each readable registered fd to the plug-in's on_fd, fireTimers() fires
// every registered timer once whatever its period. A test therefore decides how
// much panel time passes; it waits on the X server only through bounded polls.
// Main thread only.
#pragma once

#include <poll.h>

#include <algorithm>
#include <vector>

#include "clap/clap.h"
#include "fake_host.h"

namespace testsupport {

// A gesture or a parameter value the plug-in sent to the host (value 0 for gestures).
struct SentEvent {
    uint16_t type = 0;
    clap_id param = 0;
    double value = 0.0;
    bool operator==(const SentEvent&) const = default;
};

class GuiHost : public FakeHost {
public:
    GuiHost() {
        output_.ctx = this;
        output_.try_push = [](const clap_output_events* list, const clap_event_header* e) {
            auto& sent = static_cast<GuiHost*>(list->ctx)->sent;
            if (e->space_id != CLAP_CORE_EVENT_SPACE_ID) return true;
            if (e->type == CLAP_EVENT_PARAM_VALUE) {
                const auto* v = reinterpret_cast<const clap_event_param_value*>(e);
                sent.push_back({e->type, v->param_id, v->value});
            } else if (e->type == CLAP_EVENT_PARAM_GESTURE_BEGIN || e->type == CLAP_EVENT_PARAM_GESTURE_END) {
                sent.push_back({e->type, reinterpret_cast<const clap_event_param_gesture*>(e)->param_id, 0.0});
            }
            return true;
        };
    }

    const clap_host* clap() const { return &host; }

    // The plug-in whose timer and fd handlers the loop calls.
    void drive(const clap_plugin* plugin) {
        plugin_ = plugin;
        onTimer_ = static_cast<const clap_plugin_timer_support*>(plugin->get_extension(plugin, CLAP_EXT_TIMER_SUPPORT));
        onFd_ = static_cast<const clap_plugin_posix_fd_support*>(
            plugin->get_extension(plugin, CLAP_EXT_POSIX_FD_SUPPORT));
    }

    // Waits up to waitMs for a registered fd to be readable, then hands every ready
    // one to on_fd. True when one was ready.
    bool serveFds(int waitMs) {
        std::vector<pollfd> watched;
        for (int fd : fds) watched.push_back({fd, POLLIN, 0});
        if (::poll(watched.data(), watched.size(), waitMs) <= 0) return false;
        for (const pollfd& p : watched) {
            clap_posix_fd_flags_t flags = 0;
            if (p.revents & POLLIN) flags |= CLAP_POSIX_FD_READ;
            if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) flags |= CLAP_POSIX_FD_ERROR;
            // A handler may have unregistered this fd meanwhile.
            if (flags != 0 && fds.contains(p.fd) && onFd_ != nullptr) onFd_->on_fd(plugin_, p.fd, flags);
        }
        return true;
    }

    // Fires every registered timer once (a handler may unregister the others).
    void fireTimers() {
        std::vector<clap_id> ids;
        for (const auto& entry : timers) ids.push_back(entry.first);
        for (clap_id id : ids)
            if (timers.contains(id) && onTimer_ != nullptr) onTimer_->on_timer(plugin_, id);
    }

    // One turn of the loop: the fds that are ready, then (withTimers) the timers,
    // then the flush the plug-in asked for meanwhile (while it is inactive; an active
    // plug-in's requests are answered by its next process).
    void tick(int waitMs = 0, bool withTimers = true) {
        serveFds(waitMs);
        if (withTimers) fireTimers();
        if (flushRequests.load() != flushesAnswered_ && !active_) {
            flushesAnswered_ = flushRequests.load();
            flush();
        }
    }

    // Turns the loop until done() holds; false when it still does not after maxTurns.
    template <class Done>
    bool runUntil(Done done, bool withTimers = true, int maxTurns = 400, int waitMs = 5) {
        for (int turn = 0; turn < maxTurns; ++turn) {
            if (done()) return true;
            tick(waitMs, withTimers);
        }
        return done();
    }

    // The plug-in's params flush, as a host calls it on the main thread while the
    // plug-in is inactive; what the plug-in sends is appended to `sent`.
    void flush(const clap_input_events* in = nullptr) {
        const auto* table = static_cast<const clap_plugin_params*>(plugin_->get_extension(plugin_, CLAP_EXT_PARAMS));
        table->flush(plugin_, in != nullptr ? in : &noEvents_, &output_);
    }

    // Activates the plug-in and starts processing at 48 kHz.
    bool activate() {
        active_ = plugin_->activate(plugin_, kSampleRate, 1, kBlock) && plugin_->start_processing(plugin_);
        return active_;
    }
    void deactivate() {
        if (!active_) return;
        plugin_->stop_processing(plugin_);
        plugin_->deactivate(plugin_);
        active_ = false;
    }

    // Runs `frames` samples of silence through process, on this thread standing in
    // for the audio thread; what the plug-in sends is appended to `sent`.
    void play(uint32_t frames) {
        std::vector<float> inL(kBlock), inR(kBlock), outL(kBlock), outR(kBlock);
        float* ins[2] = {inL.data(), inR.data()};
        float* outs[2] = {outL.data(), outR.data()};
        clap_audio_buffer input{ins, nullptr, 2, 0, 0};
        clap_audio_buffer output{outs, nullptr, 2, 0, 0};
        clap_process process{};
        process.steady_time = -1;
        process.audio_inputs = &input;
        process.audio_outputs = &output;
        process.audio_inputs_count = 1;
        process.audio_outputs_count = 1;
        process.in_events = &noEvents_;
        process.out_events = &output_;
        for (uint32_t done = 0; done < frames; done += process.frames_count) {
            process.frames_count = std::min(kBlock, frames - done);
            plugin_->process(plugin_, &process);
        }
    }

    bool everyRegistrationRemoved() const { return timers.empty() && fds.empty(); }

    static constexpr double kSampleRate = 48000.0;
    static constexpr uint32_t kBlock = 256;

    std::vector<SentEvent> sent;

private:
    bool active_ = false;
    int flushesAnswered_ = 0;
    const clap_plugin* plugin_ = nullptr;
    const clap_plugin_timer_support* onTimer_ = nullptr;
    const clap_plugin_posix_fd_support* onFd_ = nullptr;
    clap_output_events output_{};
    clap_input_events noEvents_{nullptr, [](const clap_input_events*) -> uint32_t { return 0; },
                                [](const clap_input_events*, uint32_t) -> const clap_event_header* { return nullptr; }};
};

}  // namespace testsupport
