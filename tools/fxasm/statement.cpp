#include "fxasm/statement.h"

#include "fxasm/names.h"

namespace fxasm {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace

std::string_view trim(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

Statement splitStatement(std::string_view line) {
    Statement s;
    std::string_view rest = trim(line.substr(0, line.find(';')));

    // Labels: every leading `name:`. A colon has no other use in the language.
    for (size_t colon = rest.find(':'); colon != std::string_view::npos; colon = rest.find(':')) {
        const std::string_view name = trim(rest.substr(0, colon));
        if (isIdentifier(name)) {
            s.labels.push_back(name);
        } else if (s.error.empty()) {
            s.error = name.empty() ? "':' without a label name before it"
                                   : "'" + std::string(name) + "' is not a valid label name";
        }
        rest = trim(rest.substr(colon + 1));
    }
    if (rest.empty()) return s;

    size_t end = 0;
    while (end < rest.size() && !isBlank(rest[end])) ++end;
    s.keyword = rest.substr(0, end);
    std::string_view operands = trim(rest.substr(end));
    if (operands.empty()) return s;
    for (;;) {
        const size_t comma = operands.find(',');
        s.operands.push_back(trim(operands.substr(0, comma)));
        if (comma == std::string_view::npos) break;
        operands.remove_prefix(comma + 1);
    }
    return s;
}

}  // namespace fxasm
