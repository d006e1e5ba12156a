// The externally driven repeating timer.
#include "lumivex_ui/timer.h"

#include <utility>

namespace lumivex::ui {

Timer::Timer(uint32_t intervalMs, std::function<void()> callback)
    : intervalMs_(intervalMs == 0 ? 1 : intervalMs), callback_(std::move(callback)) {}

bool Timer::fire() {
    if (!running_ || inCallback_ || !callback_) return false;
    inCallback_ = true;
    bool ok = true;
    try {
        callback_();
    } catch (...) {
        ++failures_;
        ok = false;
    }
    inCallback_ = false;
    return ok;
}

bool Timer::tick(Clock::time_point now) {
    if (!running_) {
        scheduled_ = false;
        return false;
    }
    if (scheduled_ && now < due_) return false;
    const auto interval = std::chrono::milliseconds(intervalMs_);
    due_ = scheduled_ && now < due_ + interval ? due_ + interval : now + interval;
    scheduled_ = true;
    return fire();
}

}  // namespace lumivex::ui
