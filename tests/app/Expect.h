// Whole-output comparison for the scenario tests: the expected text is a row
// of sections; the tool's own sections must match byte for byte, in order and
// without gaps, while a section written by another part of the tool (the
// preservation lines, the cleanup) is only located, never compared — its
// owner's tests check it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace apptest {

struct Section {
    std::string text;      // exact text (unused for a foreign section)
    bool foreign = false;  // written by another part: any text, possibly empty
};

inline Section Exact(const std::string& text) {
    return {text, false};
}
inline Section Foreign() {
    return {std::string(), true};
}

// The actual text is the sections in order; a foreign section spans up to
// the first occurrence of the next exact section (up to the end of the text
// when that section is the last one).
::testing::AssertionResult MatchesSections(const std::string& actual, const std::vector<Section>& sections);

// The same for a log file: every "\n" of the expected texts stands for CR LF.
::testing::AssertionResult LogMatchesSections(const std::string& actualBytes,
                                              const std::vector<Section>& sections);

}  // namespace apptest
