// Reading Intel HEX records: line splitting, trimming and the checks of one record.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fxcore::hex {

struct Record {
    uint8_t count = 0;
    uint16_t address = 0;
    uint8_t type = 0;
    std::vector<uint8_t> data;
};

// Calls onLine(lineNumber, line) for each line of the text. A line ends at LF, CR,
// or CR LF (one line end); numbering starts at 1 and counts empty lines. onLine
// returns false to stop.
template <class OnLine>
void forEachLine(std::string_view text, OnLine&& onLine) {
    int number = 0;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = start;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
        ++number;
        if (!onLine(number, text.substr(start, end - start))) return;
        if (end >= text.size()) return;
        start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
    }
}

// The line without leading and trailing white space (as isspace classifies it).
std::string_view trim(std::string_view line);

// Parses one trimmed, non-empty record. Returns an empty string on success, or the
// suffix of the first failing check (": record too short" and so on).
std::string parseRecord(std::string_view line, Record& out);

}  // namespace fxcore::hex
