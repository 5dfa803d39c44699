#include "tests/app/Expect.h"

#include "tests/app/AppFixture.h"

namespace apptest {

namespace {

std::string Show(const std::string& text, std::size_t at) {
    const std::size_t from = at > 60 ? at - 60 : 0;
    std::string shown;
    for (char c : text.substr(from, 160)) {
        if (c == '\r') {
            shown += "\\r";
        } else if (c == '\n') {
            shown += "\\n";
        } else {
            shown += c;
        }
    }
    return shown;
}

}  // namespace

::testing::AssertionResult MatchesSections(const std::string& actual, const std::vector<Section>& sections) {
    std::size_t pos = 0;
    bool pendingForeign = false;
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const Section& s = sections[i];
        if (s.foreign) {
            pendingForeign = true;
            continue;
        }
        if (pendingForeign) {
            // The last section closes the text; any other is the first
            // occurrence after the foreign text.
            const bool last = i + 1 == sections.size();
            std::size_t found = actual.find(s.text, pos);
            if (last && actual.size() >= pos + s.text.size() &&
                actual.compare(actual.size() - s.text.size(), s.text.size(), s.text) == 0) {
                found = actual.size() - s.text.size();
            }
            if (found == std::string::npos) {
                return ::testing::AssertionFailure()
                       << "section " << i << " not found after offset " << pos
                       << "\nexpected: " << Show(s.text, 0) << "\nactual from there: " << Show(actual, pos);
            }
            pos = found;
            pendingForeign = false;
        }
        if (actual.compare(pos, s.text.size(), s.text) != 0) {
            std::size_t diff = 0;
            while (pos + diff < actual.size() && diff < s.text.size() && actual[pos + diff] == s.text[diff])
                ++diff;
            return ::testing::AssertionFailure()
                   << "section " << i << " differs at offset " << pos + diff << "\nexpected: ..."
                   << Show(s.text, diff) << "\nactual:   ..." << Show(actual, pos + diff);
        }
        pos += s.text.size();
    }
    if (!pendingForeign && pos != actual.size()) {
        return ::testing::AssertionFailure()
               << "unexpected text after the last section: " << Show(actual, pos);
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult LogMatchesSections(const std::string& actualBytes,
                                              const std::vector<Section>& sections) {
    std::vector<Section> converted = sections;
    for (Section& s : converted) s.text = Crlf(s.text);
    return MatchesSections(actualBytes, converted);
}

}  // namespace apptest
