// Export and import of .reg files (see SimRegFile.h).
//
// The store keeps ANSI bytes (code page 1252); the file's UTF-16 text and the
// UTF-16 data of hex(1)/hex(2)/hex(7) map each byte to its character and back
// (a character the code page lacks reads as '?'), so an export imports to the
// same bytes.
#include "platform/sim/SimRegFile.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/Platform.h"
#include "platform/sim/SimRegistry.h"

namespace plat {
namespace {

const char* const kHeader5 = "Windows Registry Editor Version 5.00";
const char* const kHeader4 = "REGEDIT4";
constexpr std::size_t kWrapColumn = 76;

// ---- Export ------------------------------------------------------------------

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out;
}

// Code page 1252 bytes 0x80-0x9F as UTF-16 units (the five unused bytes keep
// their own number); every other byte is the unit of the same number.
constexpr std::uint16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                           0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                           0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                           0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::uint16_t UnitOf(unsigned char byte) {
    return byte >= 0x80 && byte <= 0x9F ? kCp1252High[byte - 0x80] : byte;
}

// The ANSI byte of a UTF-16 unit; '?' for a character the code page lacks.
char ByteOf(unsigned unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return static_cast<char>(unit);
    for (unsigned i = 0; i < 32; ++i) {
        if (kCp1252High[i] == unit) return static_cast<char>(0x80 + i);
    }
    return '?';
}

std::string Widened(const std::string& bytes) {
    std::string out;
    for (char c : bytes) {
        const std::uint16_t unit = UnitOf(static_cast<unsigned char>(c));
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8);
    }
    return out;
}

// A REG_SZ that the quoted form gives back unchanged: one terminating zero,
// no other zero, no line break.
bool QuotableString(const std::string& data) {
    if (data.empty() || data.back() != '\0') return false;
    for (std::size_t i = 0; i + 1 < data.size(); ++i) {
        const char c = data[i];
        if (c == '\0' || c == '\r' || c == '\n') return false;
    }
    return true;
}

// "prefix" followed by the bytes as hex pairs, wrapped like the registry
// editor does: a backslash at the end of a full line, two blanks before the next.
void AppendHex(std::string& out, const std::string& prefix, const std::string& bytes) {
    std::size_t lineStart = out.size();
    out += prefix;
    char pair[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned>(static_cast<unsigned char>(bytes[i])));
        out += pair;
        if (i + 1 < bytes.size()) {
            out += ',';
            if (out.size() - lineStart > kWrapColumn) {
                out += "\\\r\n  ";
                lineStart = out.size() - 2;
            }
        }
    }
}

void AppendValue(std::string& out, const SimRegValue& value) {
    std::string line = value.name.empty() ? "@=" : "\"" + Escaped(value.name) + "\"=";
    char text[32];
    if (value.type == kRegSz && QuotableString(value.data)) {
        out += line + "\"" + Escaped(value.data.substr(0, value.data.size() - 1)) + "\"";
    } else if (value.type == kRegDword && value.data.size() == 4) {
        std::uint32_t number = 0;
        for (int i = 3; i >= 0; --i) number = (number << 8) | static_cast<unsigned char>(value.data[i]);
        std::snprintf(text, sizeof text, "dword:%08x", static_cast<unsigned>(number));
        out += line + text;
    } else if (value.type == kRegBinary) {
        AppendHex(out, line + "hex:", value.data);
    } else {
        const bool textual = value.type == kRegSz || value.type == kRegExpandSz || value.type == kRegMultiSz;
        std::snprintf(text, sizeof text, "hex(%x):", static_cast<unsigned>(value.type));
        AppendHex(out, line + text, textual ? Widened(value.data) : value.data);
    }
    out += "\r\n";
}

void AppendTree(SimRegistry& registry, const std::string& shownPath, std::int64_t id, std::string& out) {
    out += "[" + shownPath + "]\r\n";
    for (const SimRegValue& value : registry.ValuesById(id)) AppendValue(out, value);
    out += "\r\n";
    for (const std::string& name : registry.SubKeysById(id)) {
        const std::string shown = shownPath + "\\" + name;
        const std::int64_t child = registry.KeyId(shown);
        if (child > 0) AppendTree(registry, shown, child, out);
    }
}

std::string Encoded(const std::string& text, RegFileEncoding encoding) {
    if (encoding == RegFileEncoding::Ansi) return text;
    return "\xFF\xFE" + Widened(text);
}

// ---- Import ------------------------------------------------------------------

std::string Decoded(const std::string& bytes) {
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        std::string out;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            const unsigned unit =
                static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
            out += ByteOf(unit);
        }
        return out;
    }
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return bytes.substr(3);
    return bytes;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string current;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(current);
            current.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            current += c;
        }
    }
    if (!current.empty()) lines.push_back(current);
    return lines;
}

std::string Trimmed(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
    return text.substr(begin, end - begin);
}

// Reads a quoted string starting at text[pos] == '"'; pos ends after the
// closing quote. \\ and \" are the escapes; any other backslash stays.
bool ReadQuoted(const std::string& text, std::size_t& pos, std::string& out) {
    if (pos >= text.size() || text[pos] != '"') return false;
    out.clear();
    for (++pos; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\' && pos + 1 < text.size() && (text[pos + 1] == '\\' || text[pos + 1] == '"')) {
            out += text[++pos];
        } else {
            out += c;
        }
    }
    return false;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "xx,xx,..." (blanks allowed around the pairs); empty gives no bytes.
bool ReadHexBytes(const std::string& text, std::string& out) {
    out.clear();
    std::string pair;
    const auto flush = [&]() {
        if (pair.empty()) return false;
        if (pair.size() > 2) return false;
        int value = 0;
        for (char c : pair) value = value * 16 + HexDigit(c);
        out += static_cast<char>(value);
        pair.clear();
        return true;
    };
    const std::string body = Trimmed(text);
    if (body.empty()) return true;
    for (char c : body) {
        if (c == ',') {
            if (!flush()) return false;
        } else if (c == ' ' || c == '\t') {
            continue;
        } else if (HexDigit(c) >= 0) {
            pair += c;
        } else {
            return false;
        }
    }
    return flush();
}

std::string Narrowed(const std::string& utf16) {
    std::string out;
    for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) {
        const unsigned unit =
            static_cast<unsigned char>(utf16[i]) | (static_cast<unsigned char>(utf16[i + 1]) << 8);
        out += ByteOf(unit);
    }
    return out;
}

// The data part of a value line (after '='); false when it cannot be read.
bool ReadData(const std::string& text, bool unicode, SimRegValue& value) {
    const std::string data = Trimmed(text);
    if (!data.empty() && data[0] == '"') {
        std::size_t pos = 0;
        std::string body;
        if (!ReadQuoted(data, pos, body) || !Trimmed(data.substr(pos)).empty()) return false;
        value.type = kRegSz;
        value.data = body + '\0';
        return true;
    }
    const std::size_t colon = data.find(':');
    if (colon == std::string::npos) return false;
    std::string kind = data.substr(0, colon);
    for (char& c : kind) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    const std::string rest = data.substr(colon + 1);
    if (kind == "dword") {
        const std::string digits = Trimmed(rest);
        if (digits.empty() || digits.size() > 8) return false;
        std::uint32_t number = 0;
        for (char c : digits) {
            if (HexDigit(c) < 0) return false;
            number = number * 16 + static_cast<std::uint32_t>(HexDigit(c));
        }
        value.type = kRegDword;
        value.data.clear();
        for (int i = 0; i < 4; ++i) value.data += static_cast<char>((number >> (8 * i)) & 0xFF);
        return true;
    }
    std::uint32_t type = kRegBinary;
    if (kind != "hex") {
        if (kind.size() < 6 || kind.compare(0, 4, "hex(") != 0 || kind.back() != ')') return false;
        const std::string number = kind.substr(4, kind.size() - 5);
        if (number.empty() || number.size() > 8) return false;
        type = 0;
        for (char c : number) {
            if (HexDigit(c) < 0) return false;
            type = type * 16 + static_cast<std::uint32_t>(HexDigit(c));
        }
    }
    std::string bytes;
    if (!ReadHexBytes(rest, bytes)) return false;
    const bool textual = type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
    value.type = type;
    value.data = unicode && textual ? Narrowed(bytes) : bytes;
    return true;
}

}  // namespace

bool ExportRegText(SimRegistry& registry, const std::string& keyPath, RegFileEncoding encoding,
                   std::string& fileBytes) {
    std::string text = std::string(kHeader5) + "\r\n\r\n";
    if (keyPath.empty()) {
        for (const char* hive : {"HKEY_LOCAL_MACHINE", "HKEY_USERS"}) {
            AppendTree(registry, hive, registry.KeyId(hive), text);
        }
        fileBytes = Encoded(text, encoding);
        return true;
    }
    std::string shown;
    if (!registry.ShownPath(keyPath, shown)) return false;
    const std::int64_t id = registry.KeyId(shown);
    if (id <= 0) return false;
    AppendTree(registry, shown, id, text);
    fileBytes = Encoded(text, encoding);
    return true;
}

bool ExportRegFile(SimRegistry& registry, const std::string& keyPath, const std::string& hostPath,
                   RegFileEncoding encoding, std::string& error) {
    std::string bytes;
    if (!ExportRegText(registry, keyPath, encoding, bytes)) {
        error = "The system was unable to find the specified registry key or value.";
        return false;
    }
    std::ofstream file(hostPath, std::ios::binary | std::ios::trunc);
    if (!file) {
        error = "Cannot open " + hostPath + " for writing.";
        return false;
    }
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        error = "Cannot write " + hostPath + ".";
        return false;
    }
    return true;
}

bool ImportRegText(SimRegistry& registry, const std::string& fileBytes, std::string& error) {
    const std::vector<std::string> lines = Lines(Decoded(fileBytes));
    std::size_t index = 0;
    while (index < lines.size() && Trimmed(lines[index]).empty()) ++index;
    if (index == lines.size()) {
        error = "The file is not a registry script.";
        return false;
    }
    const std::string header = Trimmed(lines[index]);
    bool unicode = true;
    if (header == kHeader4) {
        unicode = false;
    } else if (header != kHeader5) {
        error = "The file is not a registry script.";
        return false;
    }
    SimRegistry::Batch batch(registry);
    std::ostringstream bad;
    std::size_t badCount = 0;
    const auto reject = [&](std::size_t lineNumber, const std::string& what) {
        if (badCount++ < 5) bad << "line " << lineNumber << ": " << what << "\n";
    };
    std::string currentKey;  // empty: no key section (or a deleted one)
    for (++index; index < lines.size(); ++index) {
        const std::size_t lineNumber = index + 1;
        std::string line = Trimmed(lines[index]);
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            const std::size_t close = line.rfind(']');
            if (close == std::string::npos) {
                reject(lineNumber, "bad key line");
                currentKey.clear();
                continue;
            }
            std::string path = line.substr(1, close - 1);
            const bool remove = !path.empty() && path[0] == '-';
            if (remove) path = path.substr(1);
            std::string canonical;
            currentKey.clear();
            if (!SimRegistry::CanonicalPath(path, canonical)) {
                reject(lineNumber, "bad key name");
            } else if (remove) {
                if (registry.KeyExists(canonical) && !registry.DeleteKeyTree(canonical)) {
                    reject(lineNumber, "cannot delete the key");
                }
            } else if (registry.CreateKey(canonical)) {
                currentKey = canonical;
            } else {
                reject(lineNumber, "cannot create the key");
            }
            continue;
        }
        // A value line, continued while it ends with a backslash.
        while (!line.empty() && line.back() == '\\' && index + 1 < lines.size()) {
            line.pop_back();
            line += Trimmed(lines[++index]);
        }
        if (currentKey.empty()) continue;  // values of a deleted or unreadable key
        SimRegValue value;
        std::size_t pos = 0;
        if (line[0] == '@') {
            pos = 1;
        } else if (!ReadQuoted(line, pos, value.name)) {
            reject(lineNumber, "bad value name");
            continue;
        }
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
        if (pos >= line.size() || line[pos] != '=') {
            reject(lineNumber, "missing '='");
            continue;
        }
        const std::string data = Trimmed(line.substr(pos + 1));
        if (data == "-") {
            registry.DeleteValue(currentKey, value.name);  // a value already gone is fine
            continue;
        }
        if (!ReadData(data, unicode, value)) {
            reject(lineNumber, "bad value data");
            continue;
        }
        if (!registry.SetValue(currentKey, value)) reject(lineNumber, "cannot set the value");
    }
    if (!batch.Commit()) {
        error = "Error accessing the registry.";
        return false;
    }
    if (badCount > 0) {
        error = bad.str();
        return false;
    }
    return true;
}

bool ImportRegFile(SimRegistry& registry, const std::string& hostPath, std::string& error) {
    std::ifstream file(hostPath, std::ios::binary);
    if (!file) {
        error = "Cannot open " + hostPath + ".";
        return false;
    }
    std::ostringstream content;
    content << file.rdbuf();
    return ImportRegText(registry, content.str(), error);
}

}  // namespace plat
