#include "standalone/state_files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fstream>
#include <limits>
#include <optional>
#include <string>
#include <system_error>

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
            writer->error = n < 0 ? errno : ENOSPC;
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

// The process that made `name` as a temporary file beside `target`, when it is one.
std::optional<pid_t> temporaryFileOwner(std::string_view name, std::string_view target) {
    const std::string prefix = "." + std::string(target) + ".tmp-";
    if (!name.starts_with(prefix)) return std::nullopt;
    const std::string_view rest = name.substr(prefix.size());
    const size_t dash = rest.find('-');
    const auto digits = [](std::string_view text) {
        return !text.empty() && text.size() <= 18 &&
               std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (dash == std::string_view::npos || !digits(rest.substr(0, dash)) || !digits(rest.substr(dash + 1)))
        return std::nullopt;
    const long long pid = std::stoll(std::string(rest.substr(0, dash)));
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max()) return std::nullopt;
    return static_cast<pid_t>(pid);
}

// The regular files directly in `dir` that `isLeftover` accepts go; anything that
// cannot be looked at or removed stays. How many went.
int removeLeftoverFiles(const std::filesystem::path& dir,
                        const std::function<bool(const std::filesystem::directory_entry&)>& isLeftover) {
    namespace fs = std::filesystem;
    int removed = 0;
    std::error_code error;
    for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
        std::error_code ignored;
        if (it->symlink_status(ignored).type() == fs::file_type::regular && isLeftover(*it) &&
            fs::remove(it->path(), ignored))
            ++removed;
    }
    return removed;
}

// Another user's process, one we may not signal, runs all the same.
bool processRuns(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

using Kind = StateFileOutcome::Kind;

StateFileOutcome failure(Kind kind, int error) {
    return {kind, std::error_code(error, std::generic_category()).message()};
}

}  // namespace

StateFileOutcome writeFileAtomically(const std::filesystem::path& target,
                                     const std::function<bool(const clap_ostream&)>& fill) {
    std::filesystem::path temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
        temporary = temporaryBeside(target);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return failure(Kind::CannotWrite, errno);
    }
    if (fd < 0) return failure(Kind::CannotWrite, EEXIST);

    StateFileWriter writer{fd, false, 0};
    const clap_ostream stream{&writer, clapwrite};
    // A writer that answers false has not written the whole file, whatever it wrote.
    StateFileOutcome outcome;
    if (!fill(stream))
        outcome = writer.failed ? failure(Kind::CannotWrite, writer.error) : StateFileOutcome{Kind::Refused, {}};
    else if (writer.failed)
        outcome = failure(Kind::CannotWrite, writer.error);
    // On its way to the disk before it takes the old file's place; a file system
    // that cannot sync says EINVAL.
    if (outcome.ok() && ::fsync(fd) != 0 && errno != EINVAL) outcome = failure(Kind::CannotWrite, errno);
    if (::close(fd) != 0 && outcome.ok()) outcome = failure(Kind::CannotWrite, errno);
    if (outcome.ok() && ::rename(temporary.c_str(), target.c_str()) != 0) outcome = failure(Kind::CannotWrite, errno);
    if (!outcome.ok()) ::unlink(temporary.c_str());
    return outcome;
}

StateFileOutcome StandaloneHost::writeStateFile(const std::filesystem::path& dir, const std::filesystem::path& name) {
    const clap_plugin* plugin = instance();
    if (plugin == nullptr || clapPlugin->extState == nullptr) return {Kind::NoPlugin, {}};
    return writeFileAtomically(dir / name,
                               [&](const clap_ostream& stream) { return clapPlugin->extState->save(plugin, &stream); });
}

StateFileOutcome StandaloneHost::readStateFile(const std::filesystem::path& dir, const std::filesystem::path& name) {
    const std::filesystem::path file = dir / name;
    const clap_plugin* plugin = instance();
    if (plugin == nullptr || clapPlugin->extState == nullptr) return {Kind::NoPlugin, {}};
    // A folder opens as a stream too, and only its first read fails.
    struct stat status{};
    if (::stat(file.c_str(), &status) != 0) return failure(Kind::CannotRead, errno);
    if (S_ISDIR(status.st_mode)) return failure(Kind::CannotRead, EISDIR);
    errno = 0;
    std::ifstream in(file, std::ios::binary);
    if (!in.is_open()) return failure(Kind::CannotRead, errno != 0 ? errno : EACCES);
    const clap_istream stream{&in, clapread};
    const bool accepted = clapPlugin->extState->load(plugin, &stream);
    if (in.bad()) return failure(Kind::CannotRead, EIO);
    return accepted ? StateFileOutcome{} : StateFileOutcome{Kind::Refused, {}};
}

int removeLeftoverTemporaryFiles(const std::filesystem::path& dir, std::initializer_list<std::string_view> targets) {
    return removeLeftoverFiles(dir, [&](const std::filesystem::directory_entry& entry) {
        const std::string name = entry.path().filename().string();
        return std::any_of(targets.begin(), targets.end(), [&](std::string_view target) {
            const std::optional<pid_t> owner = temporaryFileOwner(name, target);
            return owner && !processRuns(*owner);
        });
    });
}

bool StandaloneHost::saveStandaloneAndPluginSettings(const std::filesystem::path& dir,
                                                     const std::filesystem::path& name) {
    return writeStateFile(dir, name).ok();
}

bool StandaloneHost::tryLoadStandaloneAndPluginSettings(const std::filesystem::path& dir,
                                                        const std::filesystem::path& name) {
    const Kind kind = readStateFile(dir, name).kind;
    return kind == Kind::Done || kind == Kind::Refused;
}

}  // namespace brevlin::clap_host::standalone
