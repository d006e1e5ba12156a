// The host's side of calls that come in from C: the plug-in calling its host
// (clap_host, the host extensions, the event lists and streams) and the audio and
// MIDI libraries calling back. Nothing thrown below such a call may unwind into
// the caller, which cannot take it: the caller gets a fallback answer and the
// failure goes to standard error.
#pragma once

#include <cstdio>
#include <exception>

namespace Clap {

namespace detail {

inline void reportShieldedFailure(const char* what) noexcept {
    try {
        throw;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "HOST: %s failed: %s\n", what, e.what());
    } catch (...) {
        std::fprintf(stderr, "HOST: %s failed\n", what);
    }
}

}  // namespace detail

// Runs `call` and answers what it answers, or `fallback` when it throws.
template <class Result, class Call>
Result shielded(const char* what, Result fallback, Call&& call) noexcept {
    try {
        return call();
    } catch (...) {
        detail::reportShieldedFailure(what);
        return fallback;
    }
}

template <class Call>
void shielded(const char* what, Call&& call) noexcept {
    try {
        call();
    } catch (...) {
        detail::reportShieldedFailure(what);
    }
}

}  // namespace Clap
