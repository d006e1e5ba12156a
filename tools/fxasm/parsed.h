// The result of parsing one piece of source text: a value, or the reason it failed.
#pragma once

#include <string>
#include <utility>

namespace fxasm {

template <class T>
struct Parsed {
    T value{};
    std::string error;  // empty on success

    bool ok() const { return error.empty(); }
};

template <class T>
Parsed<T> failure(std::string reason) {
    return Parsed<T>{T{}, std::move(reason)};
}

}  // namespace fxasm
