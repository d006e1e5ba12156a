#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "standalone/lifecycle.h"

namespace brevlin::clap_host::standalone {

std::optional<std::filesystem::path> userHomeDirectory() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') return std::filesystem::path(home);
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd record{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &record, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
        found->pw_dir == nullptr || found->pw_dir[0] == '\0')
        return std::nullopt;
    return std::filesystem::path(found->pw_dir);
}

std::optional<std::filesystem::path> getStandaloneSettingsPath() {
    // A relative XDG_DATA_HOME is invalid and ignored.
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/')
        return std::filesystem::path(data) / kSettingsDirectoryName;
    const std::optional<std::filesystem::path> home = userHomeDirectory();
    if (!home) return std::nullopt;
    return *home / ".local" / "share" / kSettingsDirectoryName;
}

}  // namespace brevlin::clap_host::standalone
