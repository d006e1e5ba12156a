// A CLAP host with a main loop of its own, for driving a plug-in's window on the
// test's thread as a Linux host does. It serves "clap.timer-support" and
// "clap.posix-fd-support" (either can be withheld), "clap.params", "clap.log" and
// "clap.thread-check", and records every timer and fd registration so that a test
// can check all of them were removed again.
//
// The loop turns only when told: serveFds() hands each readable registered fd to the
// plug-in's on_fd, fireTimers() fires every registered timer once whatever its
// period. A test therefore decides how much panel time passes; it waits on the X
// server only through bounded polls.
#pragma once

#include <poll.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "clap/clap.h"
#include "fake_host.h"

namespace testsupport {

// A gesture or a parameter value the plug-in sent to the host (value 0 for gestures).
struct SentEvent {
    uint16_t type = 0;
    clap_id param = 0;
    double value = 0.0;
};

// Which of the loop's two extensions the host offers.
struct GuiHostOffers {
    bool timers = true;
    bool fds = true;
};

class GuiHost {
public:
    using Offers = GuiHostOffers;

    explicit GuiHost(Offers offers = {}) : offers_(offers) {
        fillHostRecord(host_, this, "lumivex panel test host");
        host_.get_extension = [](const clap_host* h, const char* id) -> const void* { return of(h).extension(id); };

        timerSupport_.register_timer = [](const clap_host* h, uint32_t period, clap_id* id) {
            GuiHost& self = of(h);
            self.checkThread();
            if (id == nullptr) return self.refuse();
            *id = self.nextTimerId_++;
            self.liveTimers[*id] = period;
            ++self.timerRegistrations;
            return true;
        };
        timerSupport_.unregister_timer = [](const clap_host* h, clap_id id) {
            GuiHost& self = of(h);
            self.checkThread();
            if (self.liveTimers.erase(id) == 0) return self.refuse();
            ++self.timerRemovals;
            return true;
        };
        fdSupport_.register_fd = [](const clap_host* h, int fd, clap_posix_fd_flags_t flags) {
            GuiHost& self = of(h);
            self.checkThread();
            if (fd < 0 || flags == 0 || self.liveFds.contains(fd)) return self.refuse();
            self.liveFds[fd] = flags;
            ++self.fdRegistrations;
            return true;
        };
        fdSupport_.modify_fd = [](const clap_host* h, int fd, clap_posix_fd_flags_t flags) {
            GuiHost& self = of(h);
            self.checkThread();
            if (!self.liveFds.contains(fd) || flags == 0) return self.refuse();
            self.liveFds[fd] = flags;
            return true;
        };
        fdSupport_.unregister_fd = [](const clap_host* h, int fd) {
            GuiHost& self = of(h);
            self.checkThread();
            if (self.liveFds.erase(fd) == 0) return self.refuse();
            ++self.fdRemovals;
            return true;
        };
        params_.rescan = [](const clap_host*, clap_param_rescan_flags) {};
        params_.clear = [](const clap_host*, clap_id, clap_param_clear_flags) {};
        params_.request_flush = [](const clap_host* h) { ++of(h).flushRequests; };
        log_.log = [](const clap_host* h, clap_log_severity severity, const char* message) {
            of(h).logged.push_back(std::to_string(severity) + " " + (message != nullptr ? message : "(null)"));
            std::fprintf(stderr, "plug-in log %d: %s\n", severity, message != nullptr ? message : "(null)");
        };
        threadCheck_.is_main_thread = [](const clap_host* h) { return of(h).onMainThread(); };
        threadCheck_.is_audio_thread = [](const clap_host* h) { return !of(h).onMainThread(); };

        output_.ctx = this;
        output_.try_push = [](const clap_output_events* list, const clap_event_header* e) {
            auto& self = *static_cast<GuiHost*>(list->ctx);
            if (e->space_id != CLAP_CORE_EVENT_SPACE_ID) return true;
            if (e->type == CLAP_EVENT_PARAM_VALUE) {
                const auto* v = reinterpret_cast<const clap_event_param_value*>(e);
                self.sent.push_back({e->type, v->param_id, v->value});
            } else if (e->type == CLAP_EVENT_PARAM_GESTURE_BEGIN || e->type == CLAP_EVENT_PARAM_GESTURE_END) {
                self.sent.push_back({e->type, reinterpret_cast<const clap_event_param_gesture*>(e)->param_id, 0.0});
            }
            return true;
        };
    }
    GuiHost(const GuiHost&) = delete;
    GuiHost& operator=(const GuiHost&) = delete;

    const clap_host* clap() const { return &host_; }

    // The plug-in whose timer and fd handlers the loop calls.
    void drive(const clap_plugin* plugin) {
        plugin_ = plugin;
        onTimer_ = static_cast<const clap_plugin_timer_support*>(plugin->get_extension(plugin, CLAP_EXT_TIMER_SUPPORT));
        onFd_ = static_cast<const clap_plugin_posix_fd_support*>(
            plugin->get_extension(plugin, CLAP_EXT_POSIX_FD_SUPPORT));
    }

    // Waits up to waitMs for a registered fd to be ready, then hands every ready one
    // to on_fd. True when one was ready.
    bool serveFds(int waitMs) {
        std::vector<pollfd> watched;
        for (const auto& [fd, flags] : liveFds) {
            short events = 0;
            if (flags & CLAP_POSIX_FD_READ) events |= POLLIN;
            if (flags & CLAP_POSIX_FD_WRITE) events |= POLLOUT;
            watched.push_back({fd, events, 0});
        }
        if (::poll(watched.data(), watched.size(), waitMs) <= 0) return false;
        for (const pollfd& p : watched) {
            clap_posix_fd_flags_t flags = 0;
            if (p.revents & POLLIN) flags |= CLAP_POSIX_FD_READ;
            if (p.revents & POLLOUT) flags |= CLAP_POSIX_FD_WRITE;
            if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) flags |= CLAP_POSIX_FD_ERROR;
            // A handler may have unregistered this fd meanwhile.
            if (flags != 0 && liveFds.contains(p.fd) && onFd_ != nullptr) onFd_->on_fd(plugin_, p.fd, flags);
        }
        return true;
    }

    // Fires every registered timer once (a handler may unregister the others).
    void fireTimers() {
        std::vector<clap_id> ids;
        for (const auto& entry : liveTimers) ids.push_back(entry.first);
        for (clap_id id : ids)
            if (liveTimers.contains(id) && onTimer_ != nullptr) onTimer_->on_timer(plugin_, id);
    }

    // One turn of the loop: the fds that are ready, then (withTimers) the timers,
    // then the flush the plug-in asked for meanwhile (while it is inactive; an active
    // plug-in's requests are answered by its next process).
    void tick(int waitMs = 0, bool withTimers = true) {
        serveFds(waitMs);
        if (withTimers) fireTimers();
        if (flushRequests != flushesAnswered_ && !active_) {
            flushesAnswered_ = flushRequests;
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
        const auto* params = static_cast<const clap_plugin_params*>(plugin_->get_extension(plugin_, CLAP_EXT_PARAMS));
        params->flush(plugin_, in != nullptr ? in : &noEvents_, &output_);
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
        inAudio_ = true;
        for (uint32_t done = 0; done < frames; done += process.frames_count) {
            process.frames_count = std::min(kBlock, frames - done);
            plugin_->process(plugin_, &process);
        }
        inAudio_ = false;
    }

    bool everyRegistrationRemoved() const { return liveTimers.empty() && liveFds.empty(); }

    static constexpr double kSampleRate = 48000.0;
    static constexpr uint32_t kBlock = 256;

    // What the plug-in did to the host; written only by the callbacks above.
    std::map<clap_id, uint32_t> liveTimers;  // id -> period in ms
    std::map<int, clap_posix_fd_flags_t> liveFds;
    int timerRegistrations = 0;
    int timerRemovals = 0;
    int fdRegistrations = 0;
    int fdRemovals = 0;
    int refusedCalls = 0;   // unknown ids and fds, fds registered twice, empty flags
    int offThreadCalls = 0;  // main-thread-only calls from another thread or from process
    int flushRequests = 0;
    std::vector<std::string> logged;
    std::vector<SentEvent> sent;

private:
    static GuiHost& of(const clap_host* h) { return *static_cast<GuiHost*>(h->host_data); }

    const void* extension(const char* id) const {
        if (id == nullptr) return nullptr;
        if (offers_.timers && std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0) return &timerSupport_;
        if (offers_.fds && std::strcmp(id, CLAP_EXT_POSIX_FD_SUPPORT) == 0) return &fdSupport_;
        if (std::strcmp(id, CLAP_EXT_PARAMS) == 0) return &params_;
        if (std::strcmp(id, CLAP_EXT_LOG) == 0) return &log_;
        if (std::strcmp(id, CLAP_EXT_THREAD_CHECK) == 0) return &threadCheck_;
        return nullptr;
    }
    bool onMainThread() const { return std::this_thread::get_id() == mainThread_ && !inAudio_; }
    void checkThread() {
        if (!onMainThread()) ++offThreadCalls;
    }
    bool refuse() {
        ++refusedCalls;
        return false;
    }

    Offers offers_;
    std::thread::id mainThread_ = std::this_thread::get_id();
    bool inAudio_ = false;
    bool active_ = false;
    int flushesAnswered_ = 0;
    clap_id nextTimerId_ = 1;
    const clap_plugin* plugin_ = nullptr;
    const clap_plugin_timer_support* onTimer_ = nullptr;
    const clap_plugin_posix_fd_support* onFd_ = nullptr;

    clap_host host_{};
    clap_host_timer_support timerSupport_{};
    clap_host_posix_fd_support fdSupport_{};
    clap_host_params params_{};
    clap_host_log log_{};
    clap_host_thread_check threadCheck_{};
    clap_output_events output_{};
    clap_input_events noEvents_{nullptr, [](const clap_input_events*) -> uint32_t { return 0; },
                                [](const clap_input_events*, uint32_t) -> const clap_event_header* { return nullptr; }};
};

}  // namespace testsupport
