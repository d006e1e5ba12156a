#include "fxasm/assembly_state.h"

#include "fxasm/names.h"

namespace fxasm {

std::string AssemblyState::nameConflict(std::string_view name) const {
    if (!isIdentifier(name)) return "'" + std::string(name) + "' is not a valid name";
    if (isReservedName(name)) return "'" + std::string(name) + "' is a reserved register or SFR name";
    if (const auto it = definedAt.find(name); it != definedAt.end())
        return "'" + std::string(name) + "' is already defined at line " + std::to_string(it->second);
    return {};
}

}  // namespace fxasm
