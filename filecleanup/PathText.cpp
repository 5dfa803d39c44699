#include "filecleanup/PathText.h"

#include <vector>

#include "platform/Platform.h"

namespace filecleanup {

std::string LowerCase(const std::string& text) {
    std::string lower = text;
    for (char& c : lower) {
        const unsigned char u = static_cast<unsigned char>(c);
        if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7)) {
            c = static_cast<char>(u + 0x20);
        }
    }
    return lower;
}

std::string WithBackslash(const std::string& text) {
    if (!text.empty() && text.back() == '\\') return text;
    return text + "\\";
}

std::string WithoutTrailingBackslashes(const std::string& text) {
    std::string::size_type end = text.size();
    while (end > 0 && text[end - 1] == '\\') --end;
    return text.substr(0, end);
}

bool ReadEnvironment(const char* name, std::string& value) {
    value.clear();
    std::vector<char> buffer(255);
    for (int attempt = 0; attempt < 4; ++attempt) {
        const std::uint32_t size = static_cast<std::uint32_t>(buffer.size());
        const std::uint32_t length = plat::Sys().GetEnvironmentVariableA(name, buffer.data(), size);
        if (length == 0) return false;
        if (length < size) {
            value.assign(buffer.data(), length);
            return true;
        }
        // Too small: length is the size needed, terminator included.
        buffer.assign(length + 1, '\0');
    }
    return false;
}

}  // namespace filecleanup
