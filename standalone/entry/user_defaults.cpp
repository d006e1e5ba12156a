#include "standalone/user_defaults.h"

#include <cstdlib>

#include "standalone/lifecycle.h"
#include "standalone/state_files.h"

namespace fxcore::standalone {

namespace {

struct GFreeRelease {
    void operator()(gchar* text) const noexcept { g_free(text); }
};
using OwnedText = std::unique_ptr<gchar, GFreeRelease>;

// Comments and translated keys of other groups are the user's too; they are kept.
constexpr GKeyFileFlags kLoadFlags = static_cast<GKeyFileFlags>(G_KEY_FILE_KEEP_COMMENTS | G_KEY_FILE_KEEP_TRANSLATIONS);

// The key file's escapes of a string value (\s, \n, \t, \r, \\) undone; an escape
// GLib would not have written stays as it is.
std::string unescapedValue(const char* raw) {
    std::string text;
    for (const char* c = raw; *c != '\0'; ++c) {
        if (*c != '\\' || c[1] == '\0') {
            text += *c;
            continue;
        }
        switch (*++c) {
            case 's': text += ' '; break;
            case 'n': text += '\n'; break;
            case 't': text += '\t'; break;
            case 'r': text += '\r'; break;
            case '\\': text += '\\'; break;
            default: text += '\\', text += *c;
        }
    }
    return text;
}

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
    GError* error = nullptr;
    OwnedText value(g_key_file_get_string(keys_.get(), kGroup, key, &error));
    if (value != nullptr) return std::string(value.get());
    // GLib writes a string that is not UTF-8 (a device name in the system's own
    // encoding) but will not give it back as a string: it is taken as it stands.
    const bool notUtf8 = g_error_matches(error, G_KEY_FILE_ERROR, G_KEY_FILE_ERROR_UNKNOWN_ENCODING);
    if (error != nullptr) g_error_free(error);
    if (!notUtf8) return std::nullopt;
    const OwnedText raw(g_key_file_get_value(keys_.get(), kGroup, key, nullptr));
    if (raw == nullptr) return std::nullopt;
    return unescapedValue(raw.get());
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
    return brevlin::clap_host::standalone::writeFileAtomically(*file, [&](const clap_ostream& stream) {
               return stream.write(&stream, text.get(), length) == static_cast<int64_t>(length);
           }).ok();
}

int UserDefaults::removeLeftoverTemporaryFiles() {
    const auto file = path();
    if (!file) return 0;
    return brevlin::clap_host::standalone::removeLeftoverTemporaryFiles(file->parent_path(),
                                                                        {file->filename().string()});
}

}  // namespace fxcore::standalone
