#include "standalone/user_defaults.h"

#include <cstdlib>

#include "standalone/lifecycle.h"

namespace fxcore::standalone {

namespace {

struct GFreeRelease {
    void operator()(gchar* text) const noexcept { g_free(text); }
};
using OwnedText = std::unique_ptr<gchar, GFreeRelease>;

// Comments and translated keys of other groups are the user's too; they are kept.
constexpr GKeyFileFlags kLoadFlags = static_cast<GKeyFileFlags>(G_KEY_FILE_KEEP_COMMENTS | G_KEY_FILE_KEEP_TRANSLATIONS);

}  // namespace

std::optional<std::filesystem::path> UserDefaults::path() {
    std::filesystem::path config;
    // A relative XDG_CONFIG_HOME is invalid and ignored. Not g_get_user_config_dir:
    // GLib reads the environment once per process.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
        config = xdg;
    } else {
        const auto home = brevlin::clap_host::standalone::userHomeDirectory();
        if (!home) return std::nullopt;
        config = *home / ".config";
    }
    return config / "lumivex" / "defaults.conf";
}

UserDefaults UserDefaults::read() {
    if (const auto file = path()) {
        GKeyFile* keys = g_key_file_new();
        if (g_key_file_load_from_file(keys, file->c_str(), kLoadFlags, nullptr)) return UserDefaults(keys);
        // What a failed load leaves behind is not defined; start from nothing.
        g_key_file_free(keys);
    }
    return UserDefaults(g_key_file_new());
}

std::optional<std::string> UserDefaults::getString(const char* key) const {
    OwnedText value(g_key_file_get_string(keys_.get(), kGroup, key, nullptr));
    if (value == nullptr) return std::nullopt;
    return std::string(value.get());
}

std::optional<int64_t> UserDefaults::getInteger(const char* key) const {
    GError* error = nullptr;
    const gint64 value = g_key_file_get_int64(keys_.get(), kGroup, key, &error);
    if (error != nullptr) {
        g_error_free(error);
        return std::nullopt;
    }
    return value;
}

void UserDefaults::setString(const char* key, const std::string& value) {
    g_key_file_set_string(keys_.get(), kGroup, key, value.c_str());
}

void UserDefaults::setInteger(const char* key, int64_t value) {
    g_key_file_set_int64(keys_.get(), kGroup, key, value);
}

bool UserDefaults::write() const {
    const auto file = path();
    if (!file) return false;
    if (g_mkdir_with_parents(file->parent_path().c_str(), 0700) != 0) return false;
    gsize length = 0;
    const OwnedText text(g_key_file_to_data(keys_.get(), &length, nullptr));
    // A temporary file beside it, then a rename over it.
    return g_file_set_contents(file->c_str(), text.get(), static_cast<gssize>(length), nullptr) != FALSE;
}

}  // namespace fxcore::standalone
