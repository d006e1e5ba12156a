// A machine that cannot allocate what a host call needs: the call answers its
// failure value through the CLAP slot and changes nothing, and no exception
// reaches the host. Runs under a global allocator that can refuse large
// allocations (counting_allocator.cpp), so it has a binary of its own.
#include <cstdint>
#include <string>

#include "counting_allocator.h"
#include "fxcoreplug/param_ids.h"
#include "surface_support.h"

namespace {

using fxcoreplug::FXCorePlugin;
namespace param = fxcoreplug::param;

TEST(OutOfMemory, AStateRecordNeedingMoreThanCanBeAllocatedIsRefusedAndChangesNothing) {
    FXCorePlugin p(nullptr);
    const auto* state = static_cast<const clap_plugin_state*>(p.plugin.get_extension(&p.plugin, CLAP_EXT_STATE));
    const surface::Bytes before = surface::saveOf(p);
    const surface::Bytes rec = surface::record({{param::kPot0, 0.25}}, std::string(0x1000000, 'n'), "", "");

    surface::MemoryIn starved(rec);
    testsupport::limitAllocationSize(1u << 20);
    const bool loaded = state->load(&p.plugin, &starved.stream);
    testsupport::limitAllocationSize(SIZE_MAX);
    EXPECT_FALSE(loaded);
    EXPECT_EQ(surface::saveOf(p), before);

    surface::MemoryIn fed(rec);
    EXPECT_TRUE(state->load(&p.plugin, &fed.stream)) << "with memory the same record loads";
    EXPECT_EQ(p.paramValue(param::kPot0), 0.25);
}

}  // namespace
