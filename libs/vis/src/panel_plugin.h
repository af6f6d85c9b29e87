#pragma once
// Loading and checking a panel plugin, shared by the host and its helper process.

#include "loader.h"
#include "mirvane_vis_sonique.h"

#include <string>

namespace mirvane::vis {

constexpr size_t kMaxName = 255;

// A plugin's name cut to kMaxName bytes without splitting a UTF-8 sequence; reads at most
// kMaxName + 1 bytes of it.
std::string BoundedName(const char *name);

// The module of a loaded panel plugin, checked (entry point, module, interface version), or
// nullptr with the reason in *why.
const MvisSoniqueModule *PanelModule(const Library &lib, std::string *why);

} // namespace mirvane::vis
