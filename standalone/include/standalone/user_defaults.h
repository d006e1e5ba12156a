// The application's user defaults: small values that outlive the process, kept in
// a key file at $XDG_CONFIG_HOME/lumivex/defaults.conf (XDG_CONFIG_HOME only when
// it is an absolute path, else ~/.config), in the group "defaults".
//
// The file is the user's and may be anything: a missing, unreadable or damaged
// file reads as no keys, never as an error, and the next write replaces it. A
// write keeps every other group (and the comments) of a file that could be read,
// and puts the new file in place with one rename, so no reader ever finds half a
// file. Main thread only.
#pragma once

#include <glib.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace fxcore::standalone {

class UserDefaults {
public:
    static constexpr char kGroup[] = "defaults";

    // Where the file is now: the environment is looked at on every call. No value
    // without a home directory.
    static std::optional<std::filesystem::path> path();
    // The file as it is now.
    static UserDefaults read();

    // No value when the key is absent or its value is not of the type asked for.
    std::optional<std::string> getString(const char* key) const;
    std::optional<int64_t> getInteger(const char* key) const;
    void setString(const char* key, const std::string& value);
    void setInteger(const char* key, int64_t value);

    // Removes what writes killed before their rename left beside the file: the
    // temporary files of this program's writes whose process is gone, and nothing
    // else, since the folder may hold files of the user's. Returns how many went.
    static int removeLeftoverTemporaryFiles();

    // Writes the whole file, making its folder when needed. False when it could
    // not be written; the file on disk is then the one before.
    bool write() const;

private:
    struct KeyFileRelease {
        void operator()(GKeyFile* keys) const noexcept { g_key_file_free(keys); }
    };
    explicit UserDefaults(GKeyFile* keys) : keys_(keys) {}

    std::unique_ptr<GKeyFile, KeyFileRelease> keys_;
};

}  // namespace fxcore::standalone
