// Plug-in state in memory: a clap_istream and a clap_ostream over one byte vector.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "clap/clap.h"

namespace Clap {

class StateMemento {
public:
    StateMemento();
    StateMemento(const StateMemento&) = delete;
    StateMemento& operator=(const StateMemento&) = delete;

    void setData(const uint8_t* data, size_t size);

    static int64_t _read(const clap_istream* stream, void* buffer, uint64_t size) noexcept;
    // -1 when the bytes cannot be stored (out of memory).
    static int64_t _write(const clap_ostream* stream, const void* buffer, uint64_t size) noexcept;

    uint64_t readPosition = 0;
    clap_istream inStream{};
    clap_ostream outStream{};
    std::vector<uint8_t> memory;
};

}  // namespace Clap
