// Path helpers shared by the preservation operations.
#pragma once

#include <string>

namespace preserve {

// The folder every preserved file and directory goes to: the -pd directory
// exactly as typed, followed by "\Corvanta.Preserve". With no -pd this is the
// root of the current drive.
std::string PreserveRoot(const std::string& preservePath);

// Every occurrence of `from` in `text` replaced by `to`, left to right, case
// sensitive; replaced text is not searched again. An empty `from` changes
// nothing.
std::string ReplaceAll(const std::string& text, const std::string& from, const std::string& to);

// The part of a path up to and including its last backslash ("" without one).
std::string FolderWithSeparator(const std::string& path);

// The part of a path before its last backslash ("" without one).
std::string FolderOf(const std::string& path);

// Windows paths compare without regard to letter case.
bool SamePath(const std::string& a, const std::string& b);

}  // namespace preserve
