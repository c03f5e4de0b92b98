#pragma once

// The console's vocabulary: the modules, each with its ordered operation names.
// Plain data, compiled in; texts are UTF-8 and used exactly as written.

#include <cstddef>
#include <string>
#include <vector>

namespace tessel {

struct ApiModule
{
    const char* label;              // shown in the module box
    std::vector<const char*> names; // empty for module 0, whose list is the ALL list
};

// The modules in index order.
const std::vector<ApiModule>& apiModules();

// The names of one module; for index 0 the ALL list (modules 1-29, 31-36, 30,
// 37-46, repeats kept). Empty for an index outside 0..46.
std::vector<std::string> apiNames(int moduleIndex);

} // namespace tessel
