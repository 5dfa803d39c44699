// Small text helpers of the file cleanup: lower-casing in the system's
// single-byte code page, trailing backslashes, environment variables.
#pragma once

#include <string>

namespace filecleanup {

// Lower-cases A-Z and the upper-case letters of the Western code page
// (0xC0-0xDE except 0xD7), as the system's lower-casing does.
std::string LowerCase(const std::string& text);

// text with one "\\" appended when it does not end with one.
std::string WithBackslash(const std::string& text);

// text without any trailing backslash.
std::string WithoutTrailingBackslashes(const std::string& text);

// The whole value of an environment variable; false when it is not set.
bool ReadEnvironment(const char* name, std::string& value);

}  // namespace filecleanup
