#include "patch/merge_keyed_text.h"

#include "patch/merge_by_search_rule.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using platform::TextEncoding;

std::string merged(const std::u16string& dest, const std::u16string& src, bool searchRule = false) {
    platform::TextInput d{dest, 0}, s{src, 0};
    platform::TextOutput out;
    out.encoding = TextEncoding::Utf16;
    if (searchRule) {
        search_rule::merge(d, s, out);
    } else {
        mergeKeyedText(d, s, out, 3000);
    }
    return out.bytes;
}

} // namespace

TEST(MergeKeyedText, Rules) {
    const std::u16string banner(translationBanner), key299 = u"{" + std::u16string(298, u'k');
    const std::u16string longText(9000, u'x');
    std::u16string sixteenKeys;
    for (char16_t key = u'a'; key < u'a' + 16; ++key) {
        sixteenKeys += u"{" + std::u16string(1, key) + u"}t\n";
    }
    const struct {
        const char* rule;
        std::u16string dest, src, out; // out without the banner
    } cases[] = {
        {"the head is dropped, one banner written", u"// c\n" + banner + u"{A}old\n{B}keep\n",
         u"{A}new\n", u"{A}new\n{B}keep\n"},
        {"no keys at all", u"no keys\n", u"{A}x\n", u""},
        {"source texts in destination order", u"{A}a\n{B}b\n{C}c\n", u"{C}C\n{A}A\n{Z}z\n",
         u"{A}A\n{B}b\n{C}C\n"},
        {"a line break for a source text without one", u"{A}a\n{B}b\n", u"{B}last",
         u"{A}a\n{B}last\n"},
        {"also for an empty one", u"{A}a\n", u"{A}{B}", u"{A}\n"},
        {"the destination's last text is copied as it is", u"{A}a\n{B}b", u"", u"{A}a\n{B}b"},
        {"keys are cut at 299 characters, the rest is text", key299 + u"k}rest\n",
         key299 + u"TEXT\n", key299 + u"TEXT\n"},
        {"keys cut by the end of the file", u"{A}a\n{UNFINISHED", u"{A}b\n{UNFINISHED",
         u"{A}b\n{UNFINISHED\n"},
        {"an unfinished key is no finished one", u"{A}a\n{UNFINISHED", u"{UNFINISHED}x\n",
         u"{A}a\n{UNFINISHED"},
        // After {B} the source stands at the second {A}; the first is met on the way round.
        {"repeated source keys follow the search place", u"{B}b\n{A}a\n{A}a\n",
         u"{A}first\n{B}B\n{A}second\n", u"{B}B\n{A}second\n{A}first\n"},
        {"texts longer than the capacity are written whole", u"{A}a\n{B}b\n",
         u"{A}" + longText + u"\n", u"{A}" + longText + u"\n{B}b\n"},
        {"a key the source lacks among many", u"{Z}z\n", sixteenKeys, u"{Z}z\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(merged(c.dest, c.src), platform::encodeText(banner + c.out, TextEncoding::Utf16))
            << c.rule;
    }
}

// Random game-like files from pieces (keys that repeat or are missing, texts with line
// breaks and braces, heads, unfinished and cut keys) give what the plain search rule gives.
TEST(MergeKeyedText, IndexedMergeMatchesTheSearchRule) {
    std::mt19937 rng(20261206);
    const std::u16string cut = u"{" + std::u16string(320, u'L'),
                         longest = u"{" + std::u16string(297, u'M') + u"}";
    const std::u16string pieces[] = {u"text\n", u"x", u"}", u"{", u"// head\n", cut, longest};
    const auto randomFile = [&] {
        std::u16string text;
        const std::size_t keys = rng() % 2 ? 4 : 40;
        for (unsigned n = rng() % 30; n > 0; --n) {
            text += rng() % 2 ? u"{K" + std::u16string(1, u'0' + rng() % keys) + u"}"
                              : pieces[rng() % std::size(pieces)];
        }
        return text;
    };
    for (int round = 0; round < 2000; ++round) {
        const std::u16string dest = randomFile(), src = randomFile();
        ASSERT_EQ(merged(dest, src), merged(dest, src, true)) << "round " << round;
    }
}
