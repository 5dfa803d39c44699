// The Reg* calls of the sim backend, with the results and error codes of the
// Windows calls they stand for, on the registry store of the prefix.
//
// Each call first asks the machine's fault rules, with the call's name and the
// full path of the key it works on (hive spelled out as the caller named it,
// e.g. "HKEY_CURRENT_USER\\Software\\X"; for value calls the key's path).
//
// Enumeration keeps a snapshot of the names (and values) in the key's handle:
// asking for index n+1 after index n costs no store access, not a new scan.
// A change made by this process, or a call at index 0 or out of sequence
// after a change by another process, takes a new snapshot of a key that
// changed, so index 0 always gives the first subkey that is left after a
// deletion. (A walk by growing index while another process changes the same
// key sees the key as it was when the walk began, as good as Windows promises.)
#include <algorithm>
#include <cstring>

#include "platform/sim/SimPlatform.h"
#include "platform/sim/SimRegistry.h"

namespace plat {
namespace {

constexpr std::int32_t kErrorBadPathname = 161;
constexpr std::int32_t kErrorNoAccess = 998;
constexpr std::int32_t kErrorKeyDeleted = 1018;
constexpr std::int32_t kErrorCantWrite = 1021;

constexpr std::uint32_t kKeyQueryValue = 0x0001;
constexpr std::uint32_t kKeySetValue = 0x0002;
constexpr std::uint32_t kKeyCreateSubKey = 0x0004;
constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;
constexpr std::uint32_t kMaximumAllowed = 0x02000000;
constexpr std::uint32_t kGenericAll = 0x10000000;
constexpr std::uint32_t kGenericWrite = 0x40000000;
constexpr std::uint32_t kGenericRead = 0x80000000;

constexpr std::size_t kMaxKeyNameLength = 255;

// The specific rights a requested access mask grants.
std::uint32_t GrantedAccess(std::uint32_t desired) {
    std::uint32_t granted = desired & 0xFFFF;
    if (desired & (kGenericAll | kMaximumAllowed)) granted |= kKeyAllAccess & 0xFFFF;
    if (desired & kGenericRead) granted |= kKeyRead & 0xFFFF;
    if (desired & kGenericWrite) granted |= kKeyWrite & 0xFFFF;
    return granted;
}

// A subkey path as given, without empty components; false when a name is too
// long (87) or the path starts with a backslash (161).
std::int32_t NormalizeSubKey(const char* subKey, std::string& normalized) {
    normalized.clear();
    if (!subKey || !*subKey) return kErrorSuccess;
    if (*subKey == '\\') return kErrorBadPathname;
    std::string part;
    const auto flush = [&]() {
        if (part.empty()) return true;
        if (part.size() > kMaxKeyNameLength) return false;
        if (!normalized.empty()) normalized += '\\';
        normalized += part;
        part.clear();
        return true;
    };
    for (const char* p = subKey; *p; ++p) {
        if (*p == '\\') {
            if (!flush()) return kErrorInvalidParameter;
        } else {
            part += *p;
        }
    }
    return flush() ? kErrorSuccess : kErrorInvalidParameter;
}

std::string Join(const std::string& base, const std::string& sub) {
    return sub.empty() ? base : base + "\\" + sub;
}

std::int32_t Code(std::uint32_t code) {
    return static_cast<std::int32_t>(code);
}

}  // namespace

namespace {

// The open key or predefined root a handle stands for; nullptr for an unknown handle.
SimOpenKey* Resolve(SimRegistry& registry, RegKey key) {
    SimOpenKey* open = registry.RootHandle(key);
    return open ? open : registry.FindHandle(key);
}

// Brings the key's subkey snapshot up to date for a call at index; false
// when the key is gone. The next index of a walk, with no change made by this
// process in between, uses the snapshot as it is; any other call first asks
// the store whether anything changed (in any process), and then whether the
// key itself did.
bool RefreshSubKeys(SimRegistry& registry, SimOpenKey& key, std::uint32_t index) {
    const std::uint64_t local = registry.LocalChanges();
    if (key.subKeysValid && index != 0 && index == key.subKeysNext && key.subKeysLocal == local) {
        key.subKeysNext = index + 1;
        return true;
    }
    const std::uint64_t stamp = registry.ChangeStamp();
    if (!key.subKeysValid || key.subKeysStamp != stamp) {
        const std::int64_t gen = registry.KeyGeneration(key.id);
        if (gen < 0) return false;
        if (!key.subKeysValid || key.subKeysGen != gen) {
            key.subKeys = registry.SubKeysById(key.id);
            key.subKeysGen = gen;
        }
    }
    key.subKeysStamp = stamp;
    key.subKeysLocal = local;
    key.subKeysNext = index + 1;
    key.subKeysValid = true;
    return true;
}

bool RefreshValues(SimRegistry& registry, SimOpenKey& key, std::uint32_t index) {
    const std::uint64_t local = registry.LocalChanges();
    if (key.valuesValid && index != 0 && index == key.valuesNext && key.valuesLocal == local) {
        key.valuesNext = index + 1;
        return true;
    }
    const std::uint64_t stamp = registry.ChangeStamp();
    if (!key.valuesValid || key.valuesStamp != stamp) {
        const std::int64_t gen = registry.KeyGeneration(key.id);
        if (gen < 0) return false;
        if (!key.valuesValid || key.valuesGen != gen) {
            key.values = registry.ValuesById(key.id);
            key.valuesGen = gen;
        }
    }
    key.valuesStamp = stamp;
    key.valuesLocal = local;
    key.valuesNext = index + 1;
    key.valuesValid = true;
    return true;
}

// Copies a name into a caller's buffer of *size characters (terminator
// included) as RegEnum*A do: 234 when it does not fit.
std::int32_t CopyName(const std::string& name, char* buffer, std::uint32_t* size) {
    if (name.size() >= *size) return Code(kErrorMoreData);
    std::memcpy(buffer, name.data(), name.size());
    buffer[name.size()] = '\0';
    *size = static_cast<std::uint32_t>(name.size());
    return kErrorSuccess;
}

// The data part of RegQueryValueExA / RegEnumValueA: no buffer gives the
// size; a short buffer gives 234 and the size needed.
std::int32_t CopyData(const SimRegValue& value, std::uint32_t* type, std::uint8_t* data,
                      std::uint32_t* dataSize) {
    if (data && !dataSize) return Code(kErrorInvalidParameter);
    if (type) *type = value.type;
    if (!dataSize) return kErrorSuccess;
    const std::uint32_t needed = static_cast<std::uint32_t>(value.data.size());
    if (!data) {
        *dataSize = needed;
        return kErrorSuccess;
    }
    if (*dataSize < needed) {
        *dataSize = needed;
        return Code(kErrorMoreData);
    }
    std::memcpy(data, value.data.data(), needed);
    *dataSize = needed;
    return kErrorSuccess;
}

}  // namespace

std::int32_t SimPlatform::RegOpenKeyExA(RegKey key, const char* subKey, std::uint32_t /*options*/,
                                        std::uint32_t samDesired, RegKey* result) {
    if (!result) return Code(kErrorInvalidParameter);
    SimRegistry& registry = Registry();
    SimOpenKey* parent = Resolve(registry, key);
    if (!parent) return Code(kErrorInvalidHandle);
    std::string sub;
    const std::int32_t bad = NormalizeSubKey(subKey, sub);
    const std::string shown = Join(parent->shownPath, sub);
    std::uint32_t code = 0;
    if (Faulted("RegOpenKeyExA", shown, code)) return Code(code);
    if (bad) return bad;
    const std::string path = Join(parent->path, sub);
    const std::int64_t id = registry.KeyId(path);
    if (id < 0) return kErrorCantWrite;
    if (id == 0) return Code(kErrorFileNotFound);
    SimOpenKey opened;
    opened.id = id;
    opened.path = path;
    opened.shownPath = shown;
    opened.access = GrantedAccess(samDesired);
    *result = registry.AddHandle(std::move(opened));
    return kErrorSuccess;
}

std::int32_t SimPlatform::RegCreateKeyExA(RegKey key, const char* subKey, std::uint32_t samDesired,
                                          RegKey* result) {
    if (!result) return Code(kErrorInvalidParameter);
    SimRegistry& registry = Registry();
    SimOpenKey* parent = Resolve(registry, key);
    if (!parent) return Code(kErrorInvalidHandle);
    std::string sub;
    const std::int32_t bad = NormalizeSubKey(subKey, sub);
    const std::string shown = Join(parent->shownPath, sub);
    std::uint32_t code = 0;
    if (Faulted("RegCreateKeyExA", shown, code)) return Code(code);
    if (bad) return bad;
    const std::string path = Join(parent->path, sub);
    std::int64_t id = registry.KeyId(path);
    if (id < 0) return kErrorCantWrite;
    if (id == 0) {
        if (!(parent->access & kKeyCreateSubKey)) return Code(kErrorAccessDenied);
        if (registry.KeyGeneration(parent->id) < 0) return kErrorKeyDeleted;
        id = registry.CreateKeyId(path);
        if (id <= 0) return kErrorCantWrite;
    }
    SimOpenKey opened;
    opened.id = id;
    opened.path = path;
    opened.shownPath = shown;
    opened.access = GrantedAccess(samDesired);
    *result = registry.AddHandle(std::move(opened));
    return kErrorSuccess;
}

std::int32_t SimPlatform::RegQueryValueExA(RegKey key, const char* valueName, std::uint32_t* type,
                                           std::uint8_t* data, std::uint32_t* dataSize) {
    SimRegistry& registry = Registry();
    SimOpenKey* open = Resolve(registry, key);
    if (!open) return Code(kErrorInvalidHandle);
    std::uint32_t code = 0;
    if (Faulted("RegQueryValueExA", open->shownPath, code)) return Code(code);
    if (!(open->access & kKeyQueryValue)) return Code(kErrorAccessDenied);
    SimRegValue value;
    if (!registry.GetValueById(open->id, valueName ? valueName : "", value)) {
        return registry.KeyGeneration(open->id) < 0 ? kErrorKeyDeleted : Code(kErrorFileNotFound);
    }
    return CopyData(value, type, data, dataSize);
}

std::int32_t SimPlatform::RegSetValueExA(RegKey key, const char* valueName, std::uint32_t type,
                                         const std::uint8_t* data, std::uint32_t dataSize) {
    SimRegistry& registry = Registry();
    SimOpenKey* open = Resolve(registry, key);
    if (!open) return Code(kErrorInvalidHandle);
    std::uint32_t code = 0;
    if (Faulted("RegSetValueExA", open->shownPath, code)) return Code(code);
    if (!(open->access & kKeySetValue)) return Code(kErrorAccessDenied);
    if (!data && dataSize > 0) return kErrorNoAccess;
    SimRegValue value;
    value.name = valueName ? valueName : "";
    value.type = type;
    if (data) value.data.assign(reinterpret_cast<const char*>(data), dataSize);
    if (registry.SetValueById(open->id, value)) return kErrorSuccess;
    return registry.KeyGeneration(open->id) < 0 ? kErrorKeyDeleted : kErrorCantWrite;
}

std::int32_t SimPlatform::RegQueryInfoKeyA(RegKey key, std::uint32_t* subKeys, std::uint32_t* values) {
    SimRegistry& registry = Registry();
    SimOpenKey* open = Resolve(registry, key);
    if (!open) return Code(kErrorInvalidHandle);
    std::uint32_t code = 0;
    if (Faulted("RegQueryInfoKeyA", open->shownPath, code)) return Code(code);
    if (!(open->access & kKeyQueryValue)) return Code(kErrorAccessDenied);
    std::uint32_t keyCount = 0;
    std::uint32_t valueCount = 0;
    if (!registry.CountsById(open->id, keyCount, valueCount)) return kErrorKeyDeleted;
    if (subKeys) *subKeys = keyCount;
    if (values) *values = valueCount;
    return kErrorSuccess;
}

std::int32_t SimPlatform::RegEnumValueA(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                                        std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize) {
    SimRegistry& registry = Registry();
    SimOpenKey* open = Resolve(registry, key);
    if (!open) return Code(kErrorInvalidHandle);
    std::uint32_t code = 0;
    if (Faulted("RegEnumValueA", open->shownPath, code)) return Code(code);
    if (!(open->access & kKeyQueryValue)) return Code(kErrorAccessDenied);
    if (!name || !nameSize) return Code(kErrorInvalidParameter);
    if (!RefreshValues(registry, *open, index)) return kErrorKeyDeleted;
    if (index >= open->values.size()) return Code(kErrorNoMoreItems);
    const SimRegValue& value = open->values[index];
    const std::int32_t nameResult = CopyName(value.name, name, nameSize);
    if (nameResult != kErrorSuccess) return nameResult;
    return CopyData(value, type, data, dataSize);
}

std::int32_t SimPlatform::RegEnumKeyExA(RegKey key, std::uint32_t index, char* name,
                                        std::uint32_t* nameSize) {
    SimRegistry& registry = Registry();
    SimOpenKey* open = Resolve(registry, key);
    if (!open) return Code(kErrorInvalidHandle);
    std::uint32_t code = 0;
    if (Faulted("RegEnumKeyExA", open->shownPath, code)) return Code(code);
    if (!(open->access & kKeyEnumerateSubKeys)) return Code(kErrorAccessDenied);
    if (!name || !nameSize) return Code(kErrorInvalidParameter);
    if (!RefreshSubKeys(registry, *open, index)) return kErrorKeyDeleted;
    if (index >= open->subKeys.size()) return Code(kErrorNoMoreItems);
    return CopyName(open->subKeys[index], name, nameSize);
}

std::int32_t SimPlatform::RegDeleteValueA(RegKey key, const char* valueName) {
    SimRegistry& registry = Registry();
    SimOpenKey* open = Resolve(registry, key);
    if (!open) return Code(kErrorInvalidHandle);
    std::uint32_t code = 0;
    if (Faulted("RegDeleteValueA", open->shownPath, code)) return Code(code);
    if (!(open->access & kKeySetValue)) return Code(kErrorAccessDenied);
    return Code(registry.DeleteValueById(open->id, valueName ? valueName : ""));
}

std::int32_t SimPlatform::RegDeleteKeyA(RegKey key, const char* subKey) {
    SimRegistry& registry = Registry();
    SimOpenKey* parent = Resolve(registry, key);
    if (!parent) return Code(kErrorInvalidHandle);
    std::string sub;
    const std::int32_t bad = NormalizeSubKey(subKey, sub);
    const std::string shown = Join(parent->shownPath, sub);
    std::uint32_t code = 0;
    if (Faulted("RegDeleteKeyA", shown, code)) return Code(code);
    if (bad) return bad;
    // A predefined root itself is never deleted.
    if (sub.empty() && parent->predefined) return Code(kErrorAccessDenied);
    return Code(registry.DeleteLeafKey(Join(parent->path, sub)));
}

std::int32_t SimPlatform::RegCloseKey(RegKey key) {
    SimRegistry& registry = Registry();
    if (key >= kHkeyClassesRoot && key <= kHkeyUsers) return kErrorSuccess;  // predefined roots stay open
    SimOpenKey* open = registry.FindHandle(key);
    if (!open) return Code(kErrorInvalidHandle);
    std::uint32_t code = 0;
    if (Faulted("RegCloseKey", open->shownPath, code)) return Code(code);
    registry.RemoveHandle(key);
    return kErrorSuccess;
}

}  // namespace plat
