#include "panel_plugin.h"

namespace mirvane::vis {

std::string BoundedName(const char *name) {
    if (!name)
        return {};
    size_t n = 0;
    while (n <= kMaxName && name[n])
        ++n;
    if (n > kMaxName) {
        n = kMaxName;
        while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80)
            --n;
    }
    return std::string(name, n);
}

const MvisSoniqueModule *PanelModule(const Library &lib, std::string *why) {
    auto query = reinterpret_cast<MvisSoniqueQueryFn>(lib.symbol(MVIS_SONIQUE_QUERY_NAME));
    if (!query) {
        *why = "no entry point " MVIS_SONIQUE_QUERY_NAME;
        return nullptr;
    }
    const MvisSoniqueModule *m = query();
    if (!m) {
        *why = MVIS_SONIQUE_QUERY_NAME " returned no module";
        return nullptr;
    }
    if (m->abi != MVIS_SONIQUE_ABI) {
        *why = "interface version " + std::to_string(m->abi) + ", this player knows " +
               std::to_string(MVIS_SONIQUE_ABI);
        return nullptr;
    }
    return m;
}

} // namespace mirvane::vis
