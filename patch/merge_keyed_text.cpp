#include "patch/merge_keyed_text.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
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
//
// Distinct keys live in an open-addressing table whose slot holds the key's first start, so
// that a key met once costs one slot and one comparison. Keys met more than once also have
// all their starts, ascending, in one shared array.
class SourceIndex {
  public:
    explicit SourceIndex(std::u16string_view text) : text_(text) {
        std::vector<std::size_t> startOfEach;
        std::vector<std::uint32_t> lengthOfEach;
        for (std::size_t at = nextBrace(text, 0); at < text.size();) {
            const std::size_t end = keyEnd(text, at);
            startOfEach.push_back(at);
            lengthOfEach.push_back(static_cast<std::uint32_t>(end - at));
            at = nextBrace(text, end);
        }
        std::size_t size = 16;
        while (size < 2 * startOfEach.size()) {
            size *= 2;
        }
        slots_.assign(size, Slot{});
        std::vector<std::uint32_t> keyOfEach(startOfEach.size());
        std::uint32_t keys = 0;
        for (std::size_t i = 0; i < startOfEach.size(); ++i) {
            const std::u16string_view key = text.substr(startOfEach[i], lengthOfEach[i]);
            const std::uint64_t hash = hashOf(key);
            Slot& slot = slots_[slotOf(key, hash)];
            if (slot.count == 0) {
                slot = Slot{hash, startOfEach[i], lengthOfEach[i], keys++, 0};
            }
            ++slot.count;
            keyOfEach[i] = slot.key;
        }
        // Group the starts by key; a counting sort keeps file order within each group.
        groupBegin_.assign(std::size_t{keys} + 1, 0);
        for (const std::uint32_t key : keyOfEach) {
            ++groupBegin_[key + 1];
        }
        for (std::size_t k = 1; k < groupBegin_.size(); ++k) {
            groupBegin_[k] += groupBegin_[k - 1];
        }
        starts_.resize(startOfEach.size());
        std::vector<std::size_t> fill(groupBegin_.begin(), groupBegin_.end() - 1);
        for (std::size_t i = 0; i < startOfEach.size(); ++i) {
            starts_[fill[keyOfEach[i]]++] = startOfEach[i];
        }
    }

    // Where the search rule finds `key` when it starts at `place`: the first occurrence at
    // or after it, else the first one from the start. False when the source lacks the key.
    bool find(std::u16string_view key, std::size_t place, std::size_t& found) const {
        const Slot& slot = slots_[slotOf(key, hashOf(key))];
        if (slot.count == 0) {
            return false;
        }
        if (slot.count == 1 || slot.first >= place) {
            found = slot.first;
            return true;
        }
        const auto first = starts_.begin() + static_cast<std::ptrdiff_t>(groupBegin_[slot.key]);
        const auto last = first + slot.count;
        const auto it = std::lower_bound(first, last, place);
        found = it == last ? *first : *it;
        return true;
    }

  private:
    struct Slot {
        std::uint64_t hash = 0;
        std::size_t first = 0; // where the key first starts
        std::uint32_t length = 0;
        std::uint32_t key = 0;   // number of the distinct key
        std::uint32_t count = 0; // occurrences; 0 for an empty slot
    };

    static std::uint64_t hashOf(std::u16string_view key) {
        std::uint64_t hash = 14695981039346656037ull; // FNV-1a over the characters
        for (const char16_t c : key) {
            hash = (hash ^ c) * 1099511628211ull;
        }
        return hash ^ (hash >> 29);
    }

    // The slot that holds `key`, or the empty slot where it would go.
    std::size_t slotOf(std::u16string_view key, std::uint64_t hash) const {
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = static_cast<std::size_t>(hash) & mask;; i = (i + 1) & mask) {
            const Slot& slot = slots_[i];
            if (slot.count == 0 || (slot.hash == hash && slot.length == key.size() &&
                                    text_.substr(slot.first, slot.length) == key)) {
                return i;
            }
        }
    }

    std::u16string_view text_;
    std::vector<Slot> slots_;
    std::vector<std::size_t> groupBegin_;
    std::vector<std::size_t> starts_;
};

} // namespace

void mergeKeyedText(platform::TextInput& destination, platform::TextInput& source,
                    platform::TextOutput& output, std::size_t textCapacity) {
    // Texts longer than the caller's nominal buffer are written whole: cutting them would
    // lose translated text without a word.
    (void)textCapacity;
    platform::writeText(output, translationBanner);

    const std::u16string_view dest(destination.text);
    const std::u16string_view src(source.text);
    const SourceIndex index(src);

    // Where a search in the source would begin.
    std::size_t place = std::min(source.position, src.size());
    std::size_t at = nextBrace(dest, std::min(destination.position, dest.size()));
    while (at < dest.size()) {
        const std::size_t keyStop = keyEnd(dest, at);
        const std::u16string_view key = dest.substr(at, keyStop - at);
        const std::size_t textStop = nextBrace(dest, keyStop);
        platform::writeText(output, key);

        std::size_t keyAt = 0;
        if (!index.find(key, place, keyAt)) {
            platform::writeText(output, dest.substr(keyStop, textStop - keyStop));
            // The forward search ran through the end twice: the source stands at its end.
            place = src.size();
        } else {
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
