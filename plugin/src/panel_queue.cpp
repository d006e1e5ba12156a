// What the panel changes: values are stored at once, then queued so that the next
// process or params flush can tell the host. A NaN is no value: it is neither
// stored nor queued.
#include <cmath>

#include "fxcoreplug/fxcore_plugin.h"

namespace fxcoreplug {

void FXCorePlugin::setParamFromGui(uint32_t id, double plain) { storeParam(id, plain); }

void FXCorePlugin::guiSetParam(uint32_t id, double normalized) {
    const ParamDef* def = defFor(id);
    if (def == nullptr || std::isnan(normalized)) return;
    const double plain = def->min + normalized * (def->max - def->min);
    setParamFromGui(id, plain);
    pushGuiChange(id, plain, kValueChange);  // queued as computed, before the clamp
}

void FXCorePlugin::guiSetParamValue(uint32_t id, double plain) {
    if (defFor(id) == nullptr || std::isnan(plain)) return;
    pushGuiChange(id, storeParam(id, plain), kValueChange);
}

void FXCorePlugin::guiBeginGesture(uint32_t id) { pushGuiChange(id, 0.0, kGestureBegin); }

void FXCorePlugin::guiEndGesture(uint32_t id) { pushGuiChange(id, 0.0, kGestureEnd); }

void FXCorePlugin::triggerSwitch(int index) {
    if (static_cast<unsigned>(index) > 5u) return;
    pendingSwitchTriggers.fetch_or(1u << index, std::memory_order_acq_rel);
}

void FXCorePlugin::pushGuiChange(uint32_t id, double value, uint8_t kind) {
    const uint32_t write = queueWrite.load(std::memory_order_relaxed);  // ours alone
    const uint32_t next = (write + 1) % kQueueSize;
    if (next == queueRead.load(std::memory_order_acquire)) return;  // full: dropped, no flush asked
    guiQueue[write] = GuiChange{id, value, kind};
    queueWrite.store(next, std::memory_order_release);

    const clap_host_params* params = hostParams();
    if (params != nullptr && params->request_flush != nullptr) params->request_flush(host);
}

void FXCorePlugin::drainGuiQueue(const clap_output_events* out) {
    if (out == nullptr) return;  // the entries wait for a drain that has a list
    const uint32_t end = queueWrite.load(std::memory_order_acquire);
    uint32_t read = queueRead.load(std::memory_order_relaxed);  // ours alone
    while (read != end) {
        const GuiChange change = guiQueue[read];
        if (change.kind & kGestureBegin) pushGesture(out, CLAP_EVENT_PARAM_GESTURE_BEGIN, change.paramId);
        if (change.kind & kValueChange) pushParamValue(out, change.paramId, change.value);
        if (change.kind & kGestureEnd) pushGesture(out, CLAP_EVENT_PARAM_GESTURE_END, change.paramId);
        read = (read + 1) % kQueueSize;
        queueRead.store(read, std::memory_order_release);  // the slot is free again
    }
}

}  // namespace fxcoreplug
