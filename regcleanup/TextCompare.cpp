#include "regcleanup/TextCompare.h"

#include <algorithm>
#include <cctype>

namespace {
char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}
bool SameNoCase(char a, char b) {
    return Lower(a) == Lower(b);
}
}  // namespace

bool EqualsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), SameNoCase);
}

bool ContainsNoCase(const std::string& text, const std::string& part) {
    return std::search(text.begin(), text.end(), part.begin(), part.end(), SameNoCase) != text.end();
}
