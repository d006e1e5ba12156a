// State files: nothing but the bytes of the plug-in's own state save, in the order
// written. A file is written to a temporary file beside it and renamed over it
// only once the plug-in's save has answered true, every byte is written and the
// file closed without error, so a failed save leaves the previous file as it was.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>

#include "clap/clap.h"

namespace brevlin::clap_host::standalone {

// How a state-file save or load ended. A failure the system reported carries the
// system's own words, for the user to read.
struct StateFileOutcome {
    enum class Kind {
        Done,
        NoPlugin,     // no plug-in, or one without a state table: nothing was tried
        CannotRead,   // the file could not be opened or read (reason: why)
        CannotWrite,  // the file could not be written whole (reason: why); the old one stays
        Refused,      // the plug-in answered false to its state save or load
    };
    Kind kind = Kind::Done;
    std::string reason;  // the system's error text; empty unless CannotRead or CannotWrite

    bool ok() const { return kind == Kind::Done; }
};

// Writes `target` whole or not at all, the way the state files are written: `fill`
// writes the content to the stream it is given and answers whether that is all
// of it (false: Refused). The temporary file is named ".<name>.tmp-<pid>-<n>",
// with the writing process's id, so that one a killed write leaves behind is
// known to be the program's own (removeLeftoverTemporaryFiles).
StateFileOutcome writeFileAtomically(const std::filesystem::path& target,
                                     const std::function<bool(const clap_ostream&)>& fill);

// Removes, in `dir`, the temporary files that writes of the files named `targets`
// left behind when their process was killed before the rename: only those whose
// process no longer runs, since a living one may still be writing, and never
// anything not named as writeFileAtomically names them. Returns how many went.
// Anything that cannot be looked at or removed stays.
int removeLeftoverTemporaryFiles(const std::filesystem::path& dir, std::initializer_list<std::string_view> targets);

// What a writer's clap_ostream writes to: an open file descriptor, and whether any
// write to it has failed.
struct StateFileWriter {
    int fd = -1;
    bool failed = false;
    int error = 0;  // errno of the failed write
};

// The `write` of a writer's stream (ctx: a StateFileWriter). Writes all `size`
// bytes and returns `size`; returns -1 once a write has failed, and then writes
// nothing more.
int64_t clapwrite(const clap_ostream* stream, const void* buffer, uint64_t size) noexcept;

// The `read` of a reader's stream (ctx: an open std::istream). Reads up to `size`
// bytes; returns how many (0 at the end of the file), or -1 on a read error.
int64_t clapread(const clap_istream* stream, void* buffer, uint64_t size) noexcept;

}  // namespace brevlin::clap_host::standalone
