#include "patch/merge_keyed_text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

// A key starts at text[start] == '{' and runs to the next '}' included, to the end of the
// text, or to keyCapacity characters, whichever comes first.
std::size_t keyEnd(std::u16string_view text, std::size_t start) {
    const std::size_t limit = std::min(text.size(), start + keyCapacity);
    const std::size_t at = platform::findChar(text.substr(0, limit), start + 1, u'}');
    return at < limit ? at + 1 : limit;
}

std::size_t nextBrace(std::u16string_view text, std::size_t from) {
    return platform::findChar(text, from, u'{');
}

bool sameText(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), 2 * a.size()) == 0);
}

// Where one key of the source stands and where its text ends (at the next "{", which is
// where the next key starts, or at the end).
struct Occurrence {
    std::size_t start = 0;
    std::size_t textEnd = 0;
};

std::uint64_t hashOf(std::u16string_view key) {
    // Four characters at a time: keys are short, and this runs twice for every entry.
    const auto* bytes = reinterpret_cast<const unsigned char*>(key.data());
    std::size_t left = 2 * key.size();
    std::uint64_t hash = 0x9e3779b97f4a7c15ull ^ left;
    for (; left > 8; bytes += 8, left -= 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes, 8);
        hash = (hash ^ word) * 0xff51afd7ed558ccdull;
    }
    std::uint64_t word = 0;
    if (2 * key.size() >= 8) {
        // The last eight bytes, overlapping the word before: one load, no byte loop.
        std::memcpy(&word, bytes + left - 8, 8);
    } else {
        for (std::size_t i = 0; i < left; ++i) {
            word |= std::uint64_t{bytes[i]} << (8 * i);
        }
    }
    hash = (hash ^ word) * 0xff51afd7ed558ccdull;
    // Multiplication carries only upwards; this finish mixes the high bits into the low
    // ones that pick the slot.
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdull;
    hash ^= hash >> 33;
    hash *= 0xc4ceb9fe1a85ec53ull;
    return hash ^ (hash >> 33);
}

// Every key of the source with the places where it stands, in file order. A key read from
// the start of the file and a key read from any place the merge leaves the source at are
// the same keys: that place is always the start, the end or the "{" that ended a text.
//
// Distinct keys live in an open-addressing table whose slot holds the key's first
// occurrence, so that a key met once costs one slot and one comparison. Keys met more than
// once also have all their occurrences, in file order, in one shared array.
class SourceIndex {
  public:
    // How many keys ahead the memory a lookup will read is asked for.
    static constexpr std::size_t prefetchDistance = 8;

    explicit SourceIndex(std::u16string_view text) : text_(text) {
        std::vector<Occurrence> occurrences;
        std::vector<std::uint32_t> lengths;
        for (std::size_t at = nextBrace(text, 0); at < text.size();) {
            const std::size_t end = keyEnd(text, at);
            const std::size_t next = nextBrace(text, end);
            occurrences.push_back({at, next});
            lengths.push_back(static_cast<std::uint32_t>(end - at));
            at = next;
        }
        std::size_t size = 16;
        while (size < 2 * occurrences.size()) {
            size *= 2;
        }
        slots_.assign(size, Slot{});
        std::vector<std::uint64_t> hashes(occurrences.size());
        for (std::size_t i = 0; i < occurrences.size(); ++i) {
            hashes[i] = hashOf(text.substr(occurrences[i].start, lengths[i]));
        }
        std::vector<std::uint32_t> keyOfEach(occurrences.size());
        std::uint32_t keys = 0;
        for (std::size_t i = 0; i < occurrences.size(); ++i) {
            if (i + prefetchDistance < occurrences.size()) {
                prefetchSlot(hashes[i + prefetchDistance]);
            }
            const std::u16string_view key = text.substr(occurrences[i].start, lengths[i]);
            const std::uint64_t hash = hashes[i];
            Slot& slot = slots_[slotOf(key, hash)];
            if (slot.count == 0) {
                slot = Slot{hash, occurrences[i], lengths[i], keys++, 0};
            }
            ++slot.count;
            keyOfEach[i] = slot.key;
        }
        if (keys == occurrences.size()) {
            return; // every key stands once: find() never looks at the groups
        }
        // Group the occurrences by key; a counting sort keeps file order within a group.
        groupBegin_.assign(std::size_t{keys} + 1, 0);
        for (const std::uint32_t key : keyOfEach) {
            ++groupBegin_[key + 1];
        }
        for (std::size_t k = 1; k < groupBegin_.size(); ++k) {
            groupBegin_[k] += groupBegin_[k - 1];
        }
        grouped_.resize(occurrences.size());
        std::vector<std::size_t> fill(groupBegin_.begin(), groupBegin_.end() - 1);
        for (std::size_t i = 0; i < occurrences.size(); ++i) {
            grouped_[fill[keyOfEach[i]]++] = occurrences[i];
        }
    }

    // Asks the memory system for what finding a key with this hash will read.
    void prefetchSlot(std::uint64_t hash) const {
        __builtin_prefetch(&slots_[static_cast<std::size_t>(hash) & (slots_.size() - 1)]);
    }
    void prefetchKey(std::uint64_t hash) const {
        const Slot& slot = slots_[static_cast<std::size_t>(hash) & (slots_.size() - 1)];
        if (slot.count != 0) {
            __builtin_prefetch(text_.data() + slot.first.start);
            // The text is copied whole, and its last character is looked at.
            __builtin_prefetch(text_.data() + slot.first.textEnd - 1);
        }
    }

    // Where the search rule finds `key` when it starts at `place`: the first occurrence at
    // or after it, else the first one from the start. False when the source lacks the key.
    bool find(std::u16string_view key, std::uint64_t hash, std::size_t place,
              Occurrence& found) const {
        const Slot& slot = slots_[slotOf(key, hash)];
        if (slot.count == 0) {
            return false;
        }
        if (slot.count == 1 || slot.first.start >= place) {
            found = slot.first;
            return true;
        }
        const auto first = grouped_.begin() + static_cast<std::ptrdiff_t>(groupBegin_[slot.key]);
        const auto last = first + slot.count;
        const auto it =
            std::lower_bound(first, last, place, [](const Occurrence& occurrence, std::size_t at) {
                return occurrence.start < at;
            });
        found = it == last ? *first : *it;
        return true;
    }

  private:
    struct Slot {
        std::uint64_t hash = 0;
        Occurrence first; // the key's first occurrence
        std::uint32_t length = 0;
        std::uint32_t key = 0;   // number of the distinct key
        std::uint32_t count = 0; // occurrences; 0 for an empty slot
    };

    // The slot that holds `key`, or the empty slot where it would go.
    std::size_t slotOf(std::u16string_view key, std::uint64_t hash) const {
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = static_cast<std::size_t>(hash) & mask;; i = (i + 1) & mask) {
            const Slot& slot = slots_[i];
            if (slot.count == 0 || (slot.hash == hash && slot.length == key.size() &&
                                    sameText(text_.substr(slot.first.start, slot.length), key))) {
                return i;
            }
        }
    }

    std::u16string_view text_;
    std::vector<Slot> slots_;
    std::vector<std::size_t> groupBegin_;
    std::vector<Occurrence> grouped_;
};

// One entry of the destination: its key and where its text ends.
struct Entry {
    std::size_t keyStart = 0;
    std::size_t keyEnd = 0;
    std::size_t textEnd = 0;
    std::uint64_t hash = 0;
};

// Writes pieces of text, joining a piece that continues the last one in the same buffer
// into one write: a missing key and its text, a run of such entries, a source key and its
// text. Joining is the same as writing piece by piece except in an 8-bit file given a
// character above 255, which ends a write; there every piece goes out on its own.
class PieceWriter {
  public:
    PieceWriter(platform::TextOutput& output, bool join) : output_(output), join_(join) {}
    ~PieceWriter() { flush(); }
    PieceWriter(const PieceWriter&) = delete;
    PieceWriter& operator=(const PieceWriter&) = delete;

    void write(std::u16string_view piece) {
        if (join_ && length_ > 0 && start_ + length_ == piece.data()) {
            length_ += piece.size();
            return;
        }
        flush();
        start_ = piece.data();
        length_ = piece.size();
    }
    void flush() {
        if (length_ > 0) {
            platform::writeText(output_, std::u16string_view(start_, length_));
            length_ = 0;
        }
    }

  private:
    platform::TextOutput& output_;
    bool join_;
    const char16_t* start_ = nullptr;
    std::size_t length_ = 0;
};

bool allNarrow(std::u16string_view text) {
    char16_t bits = 0;
    for (const char16_t c : text) {
        bits |= c;
    }
    return bits <= 255;
}

} // namespace

std::vector<KeyedTextEntry> keyedTextEntries(std::u16string_view text) {
    std::vector<KeyedTextEntry> entries;
    long line = 1;
    std::size_t counted = 0; // line breaks before here are in `line`
    for (std::size_t at = nextBrace(text, 0); at < text.size();) {
        for (std::size_t br = platform::findChar(text, counted, u'\n'); br < at;
             br = platform::findChar(text, br + 1, u'\n')) {
            ++line;
        }
        counted = at;
        const std::size_t end = keyEnd(text, at);
        const std::size_t next = nextBrace(text, end);
        entries.push_back({at, end, next, line});
        at = next;
    }
    return entries;
}

void mergeKeyedText(platform::TextInput& destination, platform::TextInput& source,
                    platform::TextOutput& output, std::size_t textCapacity,
                    std::vector<std::size_t>* sourceKeysTaken) {
    // Texts longer than the caller's nominal buffer are written whole: cutting them would
    // lose translated text without a word.
    (void)textCapacity;
    platform::writeText(output, translationBanner);

    const std::u16string_view dest(destination.text);
    const std::u16string_view src(source.text);
    const SourceIndex index(src);

    std::vector<Entry> entries;
    for (std::size_t at = nextBrace(dest, std::min(destination.position, dest.size()));
         at < dest.size();) {
        const std::size_t end = keyEnd(dest, at);
        const std::size_t next = nextBrace(dest, end);
        entries.push_back({at, end, next, hashOf(dest.substr(at, end - at))});
        at = next;
    }

    // Every entry writes its key and a text of about its own length: room for the whole
    // destination and the source once (each line break taking two) keeps the output from
    // moving while it grows. Pages reserved but never written cost no memory.
    platform::reserveText(output, 2 * (dest.size() + src.size() + entries.size()));
    const bool join =
        output.encoding == platform::TextEncoding::Utf16 || (allNarrow(dest) && allNarrow(src));
    PieceWriter writer(output, join);

    // Where a search in the source would begin.
    std::size_t place = std::min(source.position, src.size());
    // Lookups jump about the index and the source; asking for their memory a few entries
    // ahead keeps the merge from waiting on each one in turn.
    constexpr std::size_t slotAhead = SourceIndex::prefetchDistance;
    constexpr std::size_t keyAhead = SourceIndex::prefetchDistance / 2;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i + slotAhead < entries.size()) {
            index.prefetchSlot(entries[i + slotAhead].hash);
        }
        if (i + keyAhead < entries.size()) {
            index.prefetchKey(entries[i + keyAhead].hash);
        }
        const Entry& entry = entries[i];
        const std::u16string_view key = dest.substr(entry.keyStart, entry.keyEnd - entry.keyStart);
        Occurrence found;
        if (!index.find(key, entry.hash, place, found)) {
            writer.write(key);
            writer.write(dest.substr(entry.keyEnd, entry.textEnd - entry.keyEnd));
            // The forward search ran through the end twice: the source stands at its end.
            place = src.size();
            continue;
        }
        // The source's copy of the key has the same characters; taking it lets key and text
        // go out in one write.
        writer.write(src.substr(found.start, key.size()));
        const std::size_t textStart = found.start + key.size();
        const std::u16string_view text = src.substr(textStart, found.textEnd - textStart);
        writer.write(text);
        if (text.empty() || text.back() != u'\n') {
            writer.write(u"\n");
        }
        place = found.textEnd;
        if (sourceKeysTaken != nullptr) {
            sourceKeysTaken->push_back(found.start);
        }
    }
    writer.flush();
    destination.position = dest.size();
    source.position = place;
}
