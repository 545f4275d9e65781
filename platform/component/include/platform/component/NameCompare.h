#pragma once

#include <string_view>

namespace tessaline {

// True when `a` and `b` are the same name with ASCII letters compared without
// regard to case, as member names, ProgIDs and registry keys are compared.
bool EqualsNoCase(std::string_view a, std::string_view b);

} // namespace tessaline
