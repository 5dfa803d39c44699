// .reg files of the simulated machine: the registry editor's export format
// ("Windows Registry Editor Version 5.00") and its import, also of the older
// "REGEDIT4" files.
//
// An export holds a header line, a blank line, then one section per key, the
// key first and its subkeys after it in enumeration order, each section
// "[FULL\\KEY]" followed by its values and a blank line; CR LF line ends.
// Values: "name"="text" (\\ and \" escaped) or @=... for the default value,
// dword:xxxxxxxx, hex:xx,xx for REG_BINARY, hex(2): / hex(7): with the
// UTF-16LE text for REG_EXPAND_SZ / REG_MULTI_SZ, hex(b): for REG_QWORD,
// hex(0): for REG_NONE and hex(N): for any other type; long hex data is
// continued on the next line after a backslash. A string that the quoted form
// cannot carry unchanged (no terminator, an inner zero, a line break) is
// written as hex(1): so that importing the export gives back the same bytes.
//
// The file is written as UTF-16LE with a byte order mark, or, for the ANSI
// form, with one byte per character and no mark. Import takes either (and a
// UTF-8 mark), including "[-KEY]" (delete the key tree) and "name"=-
// (delete the value).
#pragma once

#include <string>

namespace plat {

class SimRegistry;

enum class RegFileEncoding { Unicode, Ansi };

// Builds the export of keyPath and everything below it; keyPath names the
// hive either way (HKCU or HKEY_CURRENT_USER), sections spell it out. An empty
// keyPath exports the whole registry (HKEY_LOCAL_MACHINE and HKEY_USERS).
// false when the key does not exist.
bool ExportRegText(SimRegistry& registry, const std::string& keyPath, RegFileEncoding encoding,
                   std::string& fileBytes);
// Writes the export into a host file (replacing it); error tells what failed.
bool ExportRegFile(SimRegistry& registry, const std::string& keyPath, const std::string& hostPath,
                   RegFileEncoding encoding, std::string& error);

// Applies a .reg file's content in one transaction. Lines that cannot be
// read are skipped and named in error (the rest is applied); false then, or
// when the content is not a registry file at all (nothing applied).
bool ImportRegText(SimRegistry& registry, const std::string& fileBytes, std::string& error);
bool ImportRegFile(SimRegistry& registry, const std::string& hostPath, std::string& error);

}  // namespace plat
