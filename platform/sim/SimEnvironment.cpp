#include "platform/sim/SimEnvironment.h"

#include <algorithm>

#include "platform/Platform.h"
#include "platform/sim/SimPaths.h"
#include "platform/sim/SimRegistry.h"

namespace plat {
namespace {

std::string StripTerminators(std::string data) {
    while (!data.empty() && data.back() == '\0') data.pop_back();
    return data;
}

}  // namespace

bool SimEnvironment::Get(const std::string& name, std::string& value) const {
    for (const auto& e : entries_) {
        if (EqualsNoCase(e.first, name)) {
            value = e.second;
            return true;
        }
    }
    return false;
}

void SimEnvironment::Set(const std::string& name, const std::string& value) {
    for (auto& e : entries_) {
        if (EqualsNoCase(e.first, name)) {
            e.second = value;
            return;
        }
    }
    auto at = std::lower_bound(entries_.begin(), entries_.end(), name,
                               [](const std::pair<std::string, std::string>& e, const std::string& n) {
                                   return LessNoCase(e.first, n);
                               });
    entries_.insert(at, {name, value});
}

void SimEnvironment::Unset(const std::string& name) {
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                  [&name](const std::pair<std::string, std::string>& e) {
                                      return EqualsNoCase(e.first, name);
                                  }),
                   entries_.end());
}

std::string SimEnvironment::Expand(const std::string& text) const {
    std::string out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t open = text.find('%', pos);
        if (open == std::string::npos) break;
        const std::size_t close = text.find('%', open + 1);
        if (close == std::string::npos) break;
        out += text.substr(pos, open - pos);
        std::string value;
        if (close > open + 1 && Get(text.substr(open + 1, close - open - 1), value)) {
            out += value;
            pos = close + 1;
        } else {
            // Not a variable: keep the first '%' and look again from the second.
            out += '%';
            pos = open + 1;
            if (close == open + 1) {
                out += '%';
                pos = close + 1;
            }
        }
    }
    out += text.substr(pos);
    return out;
}

// Entries as "name=value" separated by newlines; backslash escapes the
// backslash and the newline so that any value survives.
std::string SimEnvironment::Serialize() const {
    std::string out;
    for (const auto& e : entries_) {
        for (const std::string* part : {&e.first, &e.second}) {
            for (char c : *part) {
                if (c == '\\') {
                    out += "\\\\";
                } else if (c == '\n') {
                    out += "\\n";
                } else {
                    out += c;
                }
            }
            if (part == &e.first) out += '=';
        }
        out += '\n';
    }
    return out;
}

bool SimEnvironment::Parse(const std::string& text, SimEnvironment& block) {
    block.entries_.clear();
    std::string line;
    bool escape = false;
    for (char c : text) {
        if (escape) {
            line += (c == 'n') ? '\n' : c;
            escape = false;
            continue;
        }
        if (c == '\\') {
            escape = true;
            continue;
        }
        if (c != '\n') {
            line += c;
            continue;
        }
        const std::size_t eq = line.find('=', 1);  // Windows names like "=C:" start with '='
        if (eq == std::string::npos) return false;
        block.Set(line.substr(0, eq), line.substr(eq + 1));
        line.clear();
    }
    return line.empty() && !escape;
}

SimEnvironment SimEnvironment::FromRegistry(SimRegistry& registry) {
    // The system's variables, then the user's over them (a user PATH is
    // appended to the system's), each REG_EXPAND_SZ expanded against what
    // is known by then, as the logon builds the block.
    SimEnvironment block;
    for (const char* key : {kEnvironmentKey, kUserEnvironmentKey}) {
        const bool user = key == kUserEnvironmentKey;
        const std::vector<SimRegValue> values = registry.Values(key);
        for (std::uint32_t type : {kRegSz, kRegExpandSz}) {
            for (const auto& v : values) {
                if (v.name.empty() || v.type != type) continue;
                std::string value = StripTerminators(v.data);
                if (type == kRegExpandSz) value = block.Expand(value);
                std::string systemPath;
                if (user && EqualsNoCase(v.name, "PATH") && block.Get("PATH", systemPath) &&
                    !systemPath.empty()) {
                    value = systemPath + ";" + value;
                }
                block.Set(v.name, value);
            }
        }
    }
    return block;
}

}  // namespace plat
