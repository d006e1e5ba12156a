#include "standalone/state_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <fstream>
#include <limits>
#include <string>

#include "standalone/call_shield.h"
#include "standalone/standalone_host.h"

namespace brevlin::clap_host::standalone {

int64_t clapwrite(const clap_ostream* stream, const void* buffer, uint64_t size) noexcept {
    auto* writer = static_cast<StateFileWriter*>(stream->ctx);
    if (writer->failed) return -1;
    const auto* bytes = static_cast<const char*>(buffer);
    uint64_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(writer->fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            writer->failed = true;
            return -1;
        }
        done += static_cast<uint64_t>(n);
    }
    return static_cast<int64_t>(size);
}

int64_t clapread(const clap_istream* stream, void* buffer, uint64_t size) noexcept {
    return Clap::shielded("state file read", int64_t{-1}, [&]() -> int64_t {
        auto* in = static_cast<std::istream*>(stream->ctx);
        const auto wanted = static_cast<std::streamsize>(
            std::min<uint64_t>(size, static_cast<uint64_t>(std::numeric_limits<std::streamsize>::max())));
        in->read(static_cast<char*>(buffer), wanted);
        const std::streamsize got = in->gcount();
        if (in->good() || in->eof()) return got;
        return -1;
    });
}

namespace {

// A name beside `target` that no other save uses.
std::filesystem::path temporaryBeside(const std::filesystem::path& target) {
    static std::atomic<unsigned> s_counter{0};
    const std::string name = "." + target.filename().string() + ".tmp-" + std::to_string(::getpid()) + "-" +
                             std::to_string(s_counter.fetch_add(1, std::memory_order_relaxed));
    return target.parent_path() / name;
}

}  // namespace

bool StandaloneHost::saveStandaloneAndPluginSettings(const std::filesystem::path& dir,
                                                     const std::filesystem::path& name) {
    const std::filesystem::path target = dir / name;
    const clap_plugin* plugin = instance();
    if (plugin == nullptr || clapPlugin->extState == nullptr) return false;

    std::filesystem::path temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
        temporary = temporaryBeside(target);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;

    StateFileWriter writer{fd, false};
    const clap_ostream stream{&writer, clapwrite};
    // A plug-in that answers false has not saved its whole state, whatever it wrote.
    bool complete = clapPlugin->extState->save(plugin, &stream) && !writer.failed;
    // On its way to the disk before it takes the old file's place; a file system
    // that cannot sync says EINVAL.
    if (complete && ::fsync(fd) != 0 && errno != EINVAL) complete = false;
    if (::close(fd) != 0) complete = false;
    if (complete && ::rename(temporary.c_str(), target.c_str()) != 0) complete = false;
    if (!complete) ::unlink(temporary.c_str());
    return complete;
}

bool StandaloneHost::tryLoadStandaloneAndPluginSettings(const std::filesystem::path& dir,
                                                        const std::filesystem::path& name) {
    std::ifstream in(dir / name, std::ios::binary);
    const clap_plugin* plugin = instance();
    if (!in.is_open() || plugin == nullptr || clapPlugin->extState == nullptr) return false;
    const clap_istream stream{&in, clapread};
    clapPlugin->extState->load(plugin, &stream);
    in.close();
    return true;
}

}  // namespace brevlin::clap_host::standalone
