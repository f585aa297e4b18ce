#include "patch/merge_keyed_text.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

// A key starts at text[start] == '{' and runs to the next '}' included, to the end of the
// text, or to keyCapacity characters, whichever comes first.
std::size_t keyEnd(std::u16string_view text, std::size_t start) {
    const std::size_t limit = std::min(text.size(), start + keyCapacity);
    for (std::size_t i = start + 1; i < limit; ++i) {
        if (text[i] == u'}') {
            return i + 1;
        }
    }
    return limit;
}

std::size_t nextBrace(std::u16string_view text, std::size_t from) {
    const std::size_t at = text.find(u'{', from);
    return at == std::u16string_view::npos ? text.size() : at;
}

// Every key of the source with the places where it starts, in file order. A key read from
// the start of the file and a key read from any place the merge leaves the source at are
// the same keys: that place is always the start, the end or the "{" that ended a text.
struct SourceIndex {
    std::unordered_map<std::u16string_view, std::vector<std::size_t>> starts;
};

SourceIndex indexKeys(std::u16string_view text) {
    SourceIndex index;
    std::size_t at = nextBrace(text, 0);
    while (at < text.size()) {
        const std::size_t end = keyEnd(text, at);
        index.starts[text.substr(at, end - at)].push_back(at);
        at = nextBrace(text, end);
    }
    return index;
}

} // namespace

void mergeKeyedText(platform::TextInput& destination, platform::TextInput& source,
                    platform::TextOutput& output, std::size_t textCapacity) {
    // Texts longer than the caller's nominal buffer are written whole: cutting them would
    // lose translated text without a word.
    (void)textCapacity;
    platform::writeText(output, translationBanner);

    const std::u16string_view dest(destination.text);
    const std::u16string_view src(source.text);
    const SourceIndex index = indexKeys(src);

    // Where a search in the source would begin.
    std::size_t place = std::min(source.position, src.size());
    std::size_t at = nextBrace(dest, std::min(destination.position, dest.size()));
    while (at < dest.size()) {
        const std::size_t keyStop = keyEnd(dest, at);
        const std::u16string_view key = dest.substr(at, keyStop - at);
        const std::size_t textStop = nextBrace(dest, keyStop);
        platform::writeText(output, key);

        const auto found = index.starts.find(key);
        if (found == index.starts.end()) {
            platform::writeText(output, dest.substr(keyStop, textStop - keyStop));
            // The forward search ran through the end twice: the source stands at its end.
            place = src.size();
        } else {
            // The first occurrence at or after the current place, else the first one from
            // the start (the search's one wrap-around).
            const std::vector<std::size_t>& starts = found->second;
            auto it = std::lower_bound(starts.begin(), starts.end(), place);
            const std::size_t keyAt = it == starts.end() ? starts.front() : *it;
            const std::size_t sourceText = keyAt + key.size();
            const std::size_t sourceStop = nextBrace(src, sourceText);
            const std::u16string_view text = src.substr(sourceText, sourceStop - sourceText);
            platform::writeText(output, text);
            if (text.empty() || text.back() != u'\n') {
                platform::writeChar(output, u'\n');
            }
            place = sourceStop;
        }
        at = textStop;
    }
    destination.position = dest.size();
    source.position = place;
}
