// The keyed text merge as its search rule reads: character by character, the source read
// on from where the last search left it, going round once. Quadratic on keys out of order,
// but plainly right: the tests, the fuzzer and the benchmark hold the indexed merge to it.
// Not part of the program.
#pragma once

#include "patch/merge_keyed_text.h"
#include "platform/text_file.h"

#include <string>

namespace search_rule {

inline std::u16string readKey(platform::TextInput& in) {
    std::u16string key = u"{";
    while (key.size() < keyCapacity) {
        const int c = platform::readChar(in);
        if (c < 0) {
            break;
        }
        key += static_cast<char16_t>(c);
        if (c == u'}') {
            break;
        }
    }
    return key;
}

inline bool skipToBrace(platform::TextInput& in) {
    for (int c = platform::readChar(in); c >= 0; c = platform::readChar(in)) {
        if (c == u'{') {
            return true;
        }
    }
    return false;
}

inline std::u16string readText(platform::TextInput& in) {
    std::u16string text;
    for (int c = platform::readChar(in); c >= 0; c = platform::readChar(in)) {
        if (c == u'{') {
            platform::unreadChar(in);
            break;
        }
        text += static_cast<char16_t>(c);
    }
    return text;
}

inline bool search(platform::TextInput& source, const std::u16string& wanted) {
    int endsReached = 0;
    while (true) {
        if (!skipToBrace(source)) {
            if (++endsReached == 2) {
                return false;
            }
            platform::rewindInput(source);
            continue;
        }
        if (readKey(source) == wanted) {
            return true;
        }
    }
}

inline void merge(platform::TextInput& destination, platform::TextInput& source,
                  platform::TextOutput& output) {
    platform::writeText(output, translationBanner);
    if (!skipToBrace(destination)) {
        return;
    }
    while (true) {
        const std::u16string key = readKey(destination);
        platform::writeText(output, key);
        if (search(source, key)) {
            std::u16string text = readText(source);
            if (text.empty() || text.back() != u'\n') {
                text += u'\n';
            }
            platform::writeText(output, text);
            readText(destination);
        } else {
            platform::writeText(output, readText(destination));
        }
        if (!skipToBrace(destination)) {
            return;
        }
    }
}

} // namespace search_rule
