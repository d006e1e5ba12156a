#include "hex_records.h"

#include <cctype>

namespace fxcore::hex {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool allHex(std::string_view s) {
    for (char c : s)
        if (hexValue(c) < 0) return false;
    return true;
}

uint8_t byteAt(std::string_view s, size_t pos) {
    return static_cast<uint8_t>(hexValue(s[pos]) * 16 + hexValue(s[pos + 1]));
}

}  // namespace

std::string_view trim(std::string_view line) {
    auto space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!line.empty() && space(line.front())) line.remove_prefix(1);
    while (!line.empty() && space(line.back())) line.remove_suffix(1);
    return line;
}

std::string parseRecord(std::string_view line, Record& out) {
    if (line.empty() || line[0] != ':') return ": record does not start with ':'";
    if (line.size() < 11) return ": record too short";
    if (!allHex(line.substr(1, 8))) return ": bad record header";

    out.count = byteAt(line, 1);
    const size_t n = out.count;
    if (line.size() < 2 * n + 11) return ": truncated record";
    if (!allHex(line.substr(9, 2 * n))) return ": bad data byte";
    if (!allHex(line.substr(9 + 2 * n, 2))) return ": missing checksum";

    const uint8_t addressHigh = byteAt(line, 3);
    const uint8_t addressLow = byteAt(line, 5);
    out.address = static_cast<uint16_t>(addressHigh * 256 + addressLow);
    out.type = byteAt(line, 7);
    out.data.resize(n);
    unsigned sum = out.count + addressHigh + addressLow + out.type;
    for (size_t i = 0; i < n; ++i) {
        out.data[i] = byteAt(line, 9 + 2 * i);
        sum += out.data[i];
    }
    sum += byteAt(line, 9 + 2 * n);  // characters after the checksum are ignored
    if ((sum & 0xFFu) != 0) return ": record checksum mismatch";
    return {};
}

}  // namespace fxcore::hex
