// A user's installation of the whole suite, the files each preservation set
// must keep from it and the log each set writes over it.
#pragma once

#include <string>
#include <vector>

namespace preserve_test {

extern const char kTlWebClasses[];
extern const char kTlWebInf[];
extern const char kOvlWebApp[];
extern const char kOvlWebClasses[];

enum class Set { Tracklight, Vaultline, CommonWeb, Specwright, Overlook };

// One preserved file: where it lands below the preserve root and where it
// came from below installLocation.
struct Preserved {
    std::string dest;
    std::string source;
};

// Every file of the installation, relative to installLocation. Besides the
// files the sets keep it holds look-alikes that no set may take.
std::vector<std::string> UserFiles();
// Empty folders of the installation.
std::vector<std::string> UserDirs();

std::vector<Preserved> PreservedBy(Set set);
// The files of PreservedBy the set copies by pattern, replacing earlier
// copies.
std::vector<std::string> PatternCopiesOf(Set set);
// Folders below the preserve root the set leaves without any file in them.
std::vector<std::string> EmptyDirsOf(Set set);
// What the set leaves below the preserve root when the installation holds
// nothing at all.
std::vector<std::string> DirsFromNothing(Set set);

// The log the set writes over UserFiles (copies of the found files logged in
// debug mode).
std::string SetLog(Set set, const std::string& install, const std::string& root, bool debug);
// The same over an empty installation.
std::string SetLogFromNothing(Set set, const std::string& install, const std::string& root, bool debug);

}  // namespace preserve_test
