// Reading a package: its tables into the package model, the Directory table
// into target folders, formatted text, the machine's folder properties, and
// the files of its embedded cabinets.
#include <gio/gio.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "platform/sim/SimMsiImpl.h"
#include "platform/sim/SimPlatform.h"

namespace plat {
namespace simmsi {

namespace {

int FieldInt(const Field& field) {
    if (field.kind == Field::Kind::Int) return field.number;
    if (field.kind == Field::Kind::Str) return std::atoi(field.text.c_str());
    return 0;
}

std::string WithBackslash(std::string path) {
    if (!path.empty() && path.back() != '\\') path += '\\';
    return path;
}

std::string Environment(SimPlatform& machine, const char* name) {
    char buffer[1024];
    std::uint32_t n = machine.GetEnvironmentVariableA(name, buffer, sizeof buffer);
    if (n == 0 || n >= sizeof buffer) return "";
    return std::string(buffer, n);
}

}  // namespace

bool ReadPackageModel(LibmsiDatabase* db, PackageModel& model) {
    std::vector<Row> rows;
    if (!ReadRows(db, "SELECT `Property`, `Value` FROM `Property`", rows)) return false;
    for (const Row& r : rows)
        if (r.size() >= 2) model.properties[FieldText(r[0])] = FieldText(r[1]);

    rows.clear();
    if (ReadRows(db, "SELECT `Directory`, `Directory_Parent`, `DefaultDir` FROM `Directory`", rows))
        for (const Row& r : rows)
            if (r.size() >= 3)
                model.directories.push_back({FieldText(r[0]), FieldText(r[1]), FieldText(r[2])});

    rows.clear();
    if (ReadRows(db,
                 "SELECT `Component`, `ComponentId`, `Directory_`, `Attributes`, `KeyPath` FROM `Component`",
                 rows))
        for (const Row& r : rows) {
            if (r.size() < 5) continue;
            ComponentRow c;
            c.key = FieldText(r[0]);
            c.componentId = FieldText(r[1]);
            c.directory = FieldText(r[2]);
            c.attributes = FieldInt(r[3]);
            c.keyPath = FieldText(r[4]);
            model.components.push_back(c);
        }

    rows.clear();
    if (ReadRows(db, "SELECT `File`, `Component_`, `FileName`, `FileSize`, `Sequence` FROM `File`", rows))
        for (const Row& r : rows) {
            if (r.size() < 5) continue;
            FileRow f;
            f.key = FieldText(r[0]);
            f.component = FieldText(r[1]);
            f.fileName = FieldText(r[2]);
            f.size = static_cast<std::uint64_t>(std::max(0, FieldInt(r[3])));
            f.sequence = FieldInt(r[4]);
            model.files.push_back(f);
        }

    rows.clear();
    if (ReadRows(db, "SELECT `Registry`, `Root`, `Key`, `Name`, `Value`, `Component_` FROM `Registry`", rows))
        for (const Row& r : rows) {
            if (r.size() < 6) continue;
            RegistryRow g;
            g.key = FieldText(r[0]);
            g.root = FieldInt(r[1]);
            g.path = FieldText(r[2]);
            g.nameNull = r[3].kind == Field::Kind::Null;
            g.name = FieldText(r[3]);
            g.valueNull = r[4].kind == Field::Kind::Null;
            g.value = FieldText(r[4]);
            g.component = FieldText(r[5]);
            model.registry.push_back(g);
        }

    rows.clear();
    if (ReadRows(db, "SELECT `DiskId`, `LastSequence`, `Cabinet` FROM `Media`", rows))
        for (const Row& r : rows)
            if (r.size() >= 3) model.media.push_back({FieldInt(r[0]), FieldInt(r[1]), FieldText(r[2])});

    rows.clear();
    if (ReadRows(db, "SELECT `Action`, `Type`, `Source`, `Target` FROM `CustomAction`", rows))
        for (const Row& r : rows)
            if (r.size() >= 4)
                model.customActions.push_back(
                    {FieldText(r[0]), FieldInt(r[1]), FieldText(r[2]), FieldText(r[3])});

    rows.clear();
    if (ReadRows(db, "SELECT `Action`, `Condition`, `Sequence` FROM `InstallExecuteSequence`", rows))
        for (const Row& r : rows)
            if (r.size() >= 3)
                model.executeSequence.push_back({FieldText(r[0]), FieldText(r[1]), FieldInt(r[2])});
    return true;
}

std::string LongName(const std::string& name) {
    std::size_t bar = name.find('|');
    return bar == std::string::npos ? name : name.substr(bar + 1);
}

std::string TargetName(const std::string& defaultDir) {
    std::size_t colon = defaultDir.find(':');
    return LongName(colon == std::string::npos ? defaultDir : defaultDir.substr(0, colon));
}

std::map<std::string, std::string> ResolveDirectories(const std::vector<DirectoryRow>& rows,
                                                      const std::map<std::string, std::string>& properties) {
    std::map<std::string, const DirectoryRow*> byKey;
    for (const DirectoryRow& row : rows) byKey[row.key] = &row;
    std::map<std::string, std::string> resolved;

    auto property = [&](const std::string& name) {
        auto it = properties.find(name);
        return it == properties.end() ? std::string() : it->second;
    };
    // Iterative walk up to the first resolved or root directory, then down.
    for (const DirectoryRow& start : rows) {
        std::vector<const DirectoryRow*> chain;
        const DirectoryRow* row = &start;
        std::string base;
        while (row && !resolved.count(row->key)) {
            std::string set = property(row->key);
            if (!set.empty()) {
                resolved[row->key] = WithBackslash(set);
                break;
            }
            bool root = row->parent.empty() || row->parent == row->key;
            if (root) {
                std::string drive = property("ROOTDRIVE");
                resolved[row->key] = WithBackslash(drive.empty() ? "C:\\" : drive);
                break;
            }
            chain.push_back(row);
            auto parent = byKey.find(row->parent);
            if (parent == byKey.end() || chain.size() > rows.size()) {
                chain.clear();  // a broken or cyclic parent chain resolves nothing
                break;
            }
            row = parent->second;
        }
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            const DirectoryRow* r = *it;
            auto parent = resolved.find(r->parent);
            if (parent == resolved.end()) break;
            std::string name = TargetName(r->defaultDir);
            resolved[r->key] = (name == "." || name.empty()) ? parent->second : parent->second + name + "\\";
        }
    }
    return resolved;
}

void AddMachineProperties(SimPlatform& machine, std::map<std::string, std::string>& properties) {
    std::string windows = Environment(machine, "WINDIR");
    if (windows.empty()) windows = Environment(machine, "SystemRoot");
    if (windows.empty()) windows = "C:\\windows";
    std::string programFiles = Environment(machine, "ProgramFiles");
    if (programFiles.empty()) programFiles = "C:\\Program Files";
    std::string commonFiles = Environment(machine, "CommonProgramFiles");
    if (commonFiles.empty()) commonFiles = programFiles + "\\Common Files";
    std::string profile = Environment(machine, "USERPROFILE");
    std::string appData = Environment(machine, "APPDATA");
    std::string localAppData = Environment(machine, "LOCALAPPDATA");
    std::string programData = Environment(machine, "ProgramData");
    if (programData.empty()) programData = Environment(machine, "ALLUSERSPROFILE");
    std::string temp = Environment(machine, "TEMP");

    auto set = [&](const char* name, const std::string& value) {
        if (!value.empty()) properties[name] = WithBackslash(value);
    };
    set("WindowsFolder", windows);
    set("SystemFolder", windows + "\\system32");
    set("System16Folder", windows + "\\system");
    set("FontsFolder", windows + "\\Fonts");
    set("WindowsVolume", windows.substr(0, 2));
    set("ProgramFilesFolder", programFiles);
    set("CommonFilesFolder", commonFiles);
    set("AppDataFolder", appData);
    set("LocalAppDataFolder", localAppData);
    set("CommonAppDataFolder", programData);
    set("TempFolder", temp);
    if (!profile.empty()) {
        set("PersonalFolder", profile + "\\Documents");
        set("DesktopFolder", profile + "\\Desktop");
    }
    if (!appData.empty()) {
        set("ProgramMenuFolder", appData + "\\Microsoft\\Windows\\Start Menu\\Programs");
        set("StartMenuFolder", appData + "\\Microsoft\\Windows\\Start Menu");
        set("StartupFolder", appData + "\\Microsoft\\Windows\\Start Menu\\Programs\\Startup");
    }
    properties["ROOTDRIVE"] = "C:\\";
    properties["VersionNT"] = "601";
    properties["WindowsBuild"] = "7601";
    properties["Intel"] = "6";
    properties["AdminUser"] = "1";
    properties["Privileged"] = "1";
}

std::string FormatText(const std::string& text, const std::map<std::string, std::string>& properties,
                       const std::map<std::string, std::string>& filePaths,
                       const std::map<std::string, std::string>& componentDirs) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '[') {
            out += text[i];
            continue;
        }
        std::size_t close = text.find(']', i + 1);
        if (close == std::string::npos) {
            out += text.substr(i);
            break;
        }
        std::string inner = text.substr(i + 1, close - i - 1);
        auto lookup = [](const std::map<std::string, std::string>& map, const std::string& key) {
            auto it = map.find(key);
            return it == map.end() ? std::string() : it->second;
        };
        if (inner.size() == 2 && inner[0] == '\\') {
            out += inner[1];
        } else if (inner == "~") {
            out += '\0';
        } else if (!inner.empty() && (inner[0] == '#' || inner[0] == '!')) {
            out += lookup(filePaths, inner.substr(1));
        } else if (!inner.empty() && inner[0] == '$') {
            out += lookup(componentDirs, inner.substr(1));
        } else if (!inner.empty() && inner[0] == '%') {
            out += lookup(properties, "%" + inner.substr(1));  // environment: not carried
        } else {
            out += lookup(properties, inner);
        }
        i = close;
    }
    return out;
}

std::map<std::string, std::string> ParseCommandLineProperties(const std::string& commandLine) {
    std::map<std::string, std::string> result;
    std::size_t i = 0;
    while (i < commandLine.size()) {
        while (i < commandLine.size() && std::isspace(static_cast<unsigned char>(commandLine[i]))) ++i;
        std::size_t eq = commandLine.find('=', i);
        if (i >= commandLine.size() || eq == std::string::npos) break;
        std::string name = commandLine.substr(i, eq - i);
        i = eq + 1;
        std::string value;
        if (i < commandLine.size() && commandLine[i] == '"') {
            ++i;
            while (i < commandLine.size()) {
                if (commandLine[i] == '"') {
                    if (i + 1 < commandLine.size() && commandLine[i + 1] == '"') {
                        value += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += commandLine[i++];
            }
        } else {
            while (i < commandLine.size() && !std::isspace(static_cast<unsigned char>(commandLine[i])))
                value += commandLine[i++];
        }
        if (!name.empty() && name.find(' ') == std::string::npos) result[name] = value;
    }
    return result;
}

// ---- Cabinets ----------------------------------------------------------------

namespace {

std::uint32_t U32(const std::string& b, std::size_t at) {
    if (at + 4 > b.size()) return 0;
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}
std::uint16_t U16(const std::string& b, std::size_t at) {
    if (at + 2 > b.size()) return 0;
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                      static_cast<unsigned char>(b[at + 1]) << 8);
}

// One MSZIP block: "CK" then a raw deflate stream that may refer back into
// the previous 32 KiB of the folder's output. That history is handed to the
// inflater as a stored deflate block in front of the compressed one, so the
// back references resolve; out holds the folder's output so far.
bool InflateBlock(const std::string& in, std::size_t expected, std::string& out) {
    if (in.size() < 2 || in[0] != 'C' || in[1] != 'K') return false;
    const std::size_t historySize = std::min<std::size_t>(out.size(), 32768);
    std::string stream;
    if (historySize > 0) {
        stream += '\0';  // BFINAL 0, BTYPE 00 (stored), padded to the byte
        const std::uint16_t len = static_cast<std::uint16_t>(historySize);
        stream += static_cast<char>(len & 0xFF);
        stream += static_cast<char>(len >> 8);
        stream += static_cast<char>(~len & 0xFF);
        stream += static_cast<char>((~len >> 8) & 0xFF);
        stream.append(out, out.size() - historySize, historySize);
    }
    stream.append(in, 2, std::string::npos);
    GZlibDecompressor* inflater = g_zlib_decompressor_new(G_ZLIB_COMPRESSOR_FORMAT_RAW);
    std::string buffer(historySize + expected + 64, '\0');
    gsize read = 0, written = 0;
    GError* error = nullptr;
    GConverterResult r =
        g_converter_convert(G_CONVERTER(inflater), stream.data(), stream.size(), &buffer[0], buffer.size(),
                            G_CONVERTER_INPUT_AT_END, &read, &written, &error);
    if (error) g_error_free(error);
    g_object_unref(inflater);
    if (r == G_CONVERTER_ERROR || written != historySize + expected) return false;
    out.append(buffer, historySize, expected);
    return true;
}

}  // namespace

bool ReadStream(LibmsiDatabase* db, const std::string& name, std::string& data) {
    GError* error = nullptr;
    QueryPtr q(libmsi_query_new(db, "SELECT `Data` FROM `_Streams` WHERE `Name` = ?", &error));
    if (error) g_error_free(error);
    if (!q) return false;
    LibmsiRecord* param = libmsi_record_new(1);
    libmsi_record_set_string(param, 1, name.c_str());
    error = nullptr;
    bool ok = libmsi_query_execute(q.get(), param, &error);
    g_object_unref(param);
    if (error) g_error_free(error);
    if (!ok) return false;
    error = nullptr;
    LibmsiRecord* row = libmsi_query_fetch(q.get(), &error);
    if (error) g_error_free(error);
    if (!row) return false;
    GInputStream* in = libmsi_record_get_stream(row, 1);
    if (in) {
        char chunk[8192];
        for (;;) {
            gssize n = g_input_stream_read(in, chunk, sizeof chunk, nullptr, nullptr);
            if (n <= 0) break;
            data.append(chunk, static_cast<std::size_t>(n));
        }
        g_object_unref(in);
    }
    g_object_unref(row);
    libmsi_query_close(q.get(), nullptr);
    return in != nullptr;
}

bool ExtractCabinet(const std::string& cab, std::map<std::string, std::string>& files) {
    if (cab.size() < 36 || cab.compare(0, 4, "MSCF") != 0) return false;
    std::uint32_t filesOffset = U32(cab, 16);
    std::uint16_t folderCount = U16(cab, 26);
    std::uint16_t fileCount = U16(cab, 28);
    std::uint16_t flags = U16(cab, 30);
    std::size_t at = 36;
    std::size_t folderReserve = 0, dataReserve = 0;
    if (flags & 4) {
        std::uint16_t headerReserve = U16(cab, at);
        folderReserve = static_cast<unsigned char>(cab[at + 2]);
        dataReserve = static_cast<unsigned char>(cab[at + 3]);
        at += 4 + headerReserve;
    }
    for (int skip = 0; skip < ((flags & 1) ? 2 : 0) + ((flags & 2) ? 2 : 0); ++skip) {
        at = cab.find('\0', at);
        if (at == std::string::npos) return false;
        ++at;
    }
    std::vector<std::string> folders;
    for (std::uint16_t f = 0; f < folderCount; ++f) {
        std::size_t entry = at + f * (8 + folderReserve);
        std::uint32_t dataOffset = U32(cab, entry);
        std::uint16_t blocks = U16(cab, entry + 4);
        std::uint16_t compression = U16(cab, entry + 6) & 0x0F;
        std::string content;
        std::size_t block = dataOffset;
        for (std::uint16_t b = 0; b < blocks; ++b) {
            std::uint16_t packed = U16(cab, block + 4);
            std::uint16_t unpacked = U16(cab, block + 6);
            std::size_t data = block + 8 + dataReserve;
            if (data + packed > cab.size()) return false;
            std::string in = cab.substr(data, packed);
            if (compression == 0) {
                content += in;
            } else if (compression != 1 || !InflateBlock(in, unpacked, content)) {
                return false;  // only stored and MSZIP folders are read
            }
            block = data + packed;
        }
        folders.push_back(content);
    }
    at = filesOffset;
    for (std::uint16_t i = 0; i < fileCount; ++i) {
        std::uint32_t size = U32(cab, at);
        std::uint32_t offset = U32(cab, at + 4);
        std::uint16_t folder = U16(cab, at + 8);
        std::size_t nameEnd = cab.find('\0', at + 16);
        if (nameEnd == std::string::npos) return false;
        std::string name = cab.substr(at + 16, nameEnd - at - 16);
        if (folder < folders.size() && offset + static_cast<std::size_t>(size) <= folders[folder].size())
            files[name] = folders[folder].substr(offset, size);
        at = nameEnd + 1;
    }
    return true;
}

}  // namespace simmsi
}  // namespace plat
