// Case-insensitive comparisons of registry names (ASCII letters only, as the
// registry compares them).
#pragma once

#include <string>

bool EqualsNoCase(const std::string& a, const std::string& b);
bool ContainsNoCase(const std::string& text, const std::string& part);
