#include "standalone/state_memento.h"

#include <algorithm>
#include <cstring>

#include "standalone/call_shield.h"

namespace Clap {

StateMemento::StateMemento() {
    inStream.ctx = this;
    inStream.read = _read;
    outStream.ctx = this;
    outStream.write = _write;
}

void StateMemento::setData(const uint8_t* data, size_t size) {
    memory.assign(data, data + size);
    readPosition = 0;
}

int64_t StateMemento::_read(const clap_istream* stream, void* buffer, uint64_t size) noexcept {
    auto* self = static_cast<StateMemento*>(stream->ctx);
    const uint64_t n = std::min<uint64_t>(size, self->memory.size() - self->readPosition);
    if (n > 0) std::memcpy(buffer, self->memory.data() + self->readPosition, n);
    self->readPosition += n;
    return static_cast<int64_t>(n);
}

int64_t StateMemento::_write(const clap_ostream* stream, const void* buffer, uint64_t size) noexcept {
    return shielded("state memento write", int64_t{-1}, [&] {
        auto* self = static_cast<StateMemento*>(stream->ctx);
        const auto* bytes = static_cast<const uint8_t*>(buffer);
        self->memory.insert(self->memory.end(), bytes, bytes + size);
        return static_cast<int64_t>(size);
    });
}

}  // namespace Clap
