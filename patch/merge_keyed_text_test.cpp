#include "patch/merge_keyed_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

using platform::TextEncoding;
using platform::TextInput;
using platform::TextOutput;

// The merge as the search rule reads: character by character, the source re-read from
// where the last search left it, with one wrap-around. Quadratic, but plainly right; the
// indexed merge must give the same bytes on every input.
std::u16string readKey(TextInput& in) {
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

bool skipToBrace(TextInput& in) {
    for (int c = platform::readChar(in); c >= 0; c = platform::readChar(in)) {
        if (c == u'{') {
            return true;
        }
    }
    return false;
}

std::u16string readText(TextInput& in) {
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

bool searchSource(TextInput& source, const std::u16string& wanted) {
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

void plainMerge(TextInput& destination, TextInput& source, TextOutput& output) {
    platform::writeText(output, translationBanner);
    if (!skipToBrace(destination)) {
        return;
    }
    while (true) {
        const std::u16string key = readKey(destination);
        platform::writeText(output, key);
        if (searchSource(source, key)) {
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

std::string merged(const std::u16string& dest, const std::u16string& src,
                   TextEncoding encoding = TextEncoding::Utf16, bool plain = false) {
    TextInput d{dest, 0};
    TextInput s{src, 0};
    TextOutput out;
    out.encoding = encoding;
    if (plain) {
        plainMerge(d, s, out);
    } else {
        mergeKeyedText(d, s, out, 3000);
    }
    return out.bytes;
}

std::u16string mergedText(const std::u16string& dest, const std::u16string& src) {
    return platform::decodeText(merged(dest, src), TextEncoding::Utf16);
}

const std::u16string banner(translationBanner);

TEST(MergeKeyedText, DropsTheHeadAndWritesOneBanner) {
    const std::u16string dest = u"// comment\n" + banner + u"{A}old\n{B}keep\n";
    EXPECT_EQ(mergedText(dest, u"{A}new\n"), banner + u"{A}new\n{B}keep\n");
    EXPECT_EQ(mergedText(u"no keys at all\n", u"{A}x\n"), banner);
}

TEST(MergeKeyedText, TakesSourceTextsInDestinationOrder) {
    EXPECT_EQ(mergedText(u"{A}a\n{B}b\n{C}c\n", u"{C}C\n{A}A\n{Z}z\n"),
              banner + u"{A}A\n{B}b\n{C}C\n");
}

TEST(MergeKeyedText, AddsALineBreakToSourceTextsThatLackOne) {
    EXPECT_EQ(mergedText(u"{A}a\n{B}b\n", u"{B}last"), banner + u"{A}a\n{B}last\n");
    EXPECT_EQ(mergedText(u"{A}a\n", u"{A}{B}"), banner + u"{A}\n");
    // The destination's own last text is copied as it is, without a break added.
    EXPECT_EQ(mergedText(u"{A}a\n{B}b", u""), banner + u"{A}a\n{B}b");
}

TEST(MergeKeyedText, CutsLongKeysAt299Characters) {
    const std::u16string longName(300, u'k');
    const std::u16string dest = u"{" + longName + u"}rest\n";
    const std::u16string key = dest.substr(0, 299);
    // The cut key matches a source key cut the same way; the remainder is text.
    EXPECT_EQ(mergedText(dest, key + u"TEXT\n"), banner + key + u"TEXT\n");
    EXPECT_EQ(mergedText(dest, u"{other}x\n"), banner + dest);
}

TEST(MergeKeyedText, KeysCutByTheEndOfTheFile) {
    EXPECT_EQ(mergedText(u"{A}a\n{UNFINISHED", u"{A}b\n{UNFINISHED"),
              banner + u"{A}b\n{UNFINISHED\n");
    EXPECT_EQ(mergedText(u"{A}a\n{UNFINISHED", u"{UNFINISHED}x\n"), banner + u"{A}a\n{UNFINISHED");
}

TEST(MergeKeyedText, RepeatedSourceKeysFollowTheSearchPlace) {
    // After {B} the source stands at the second {A}; the first {A} is met only on the
    // way round.
    EXPECT_EQ(mergedText(u"{B}b\n{A}a\n{A}a\n", u"{A}first\n{B}B\n{A}second\n"),
              banner + u"{B}B\n{A}second\n{A}first\n");
}

TEST(MergeKeyedText, WritesTextsLongerThanTheCapacityWhole) {
    const std::u16string longText(9000, u'x');
    EXPECT_EQ(mergedText(u"{A}a\n{B}b\n", u"{A}" + longText + u"\n"),
              banner + u"{A}" + longText + u"\n{B}b\n");
}

TEST(MergeKeyedText, EightBitBannerStartsWithByteAC) {
    const std::string out = merged(u"{A}a\n", u"{A}b\n", TextEncoding::Bytes8);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(static_cast<unsigned char>(out[0]), 0xAC);
    EXPECT_EQ(out.substr(1), "--- Generated by Dravik setup translator\r\n{A}b\r\n");
}

// Random game-like files: keys drawn from a small pool (so that some repeat and some are
// missing), texts with line breaks, comment heads, unfinished keys, 299-character keys.
std::u16string randomFile(std::mt19937& rng, const std::vector<std::u16string>& pool, int entries) {
    std::u16string text;
    if (rng() % 3 == 0) {
        text += u"// head\n";
    }
    for (int i = 0; i < entries; ++i) {
        text += pool[rng() % pool.size()];
        const int kind = static_cast<int>(rng() % 6);
        if (kind == 0) {
            continue; // empty text
        }
        text += u"text " + std::u16string(1, static_cast<char16_t>(u'a' + rng() % 26));
        if (kind != 1) {
            text += u'\n';
        }
        if (kind == 2) {
            text += u"second line } with brace\n";
        }
    }
    if (rng() % 4 == 0) {
        text += u"{UNFINISHED";
    }
    return text;
}

TEST(MergeKeyedText, IndexedMergeMatchesTheSearchRule) {
    std::mt19937 rng(20261206);
    std::vector<std::u16string> pool;
    for (int i = 0; i < 12; ++i) {
        pool.push_back(u"{K" + std::u16string(1, static_cast<char16_t>(u'A' + i)) + u"}");
    }
    pool.push_back(u"{" + std::u16string(320, u'L')); // cut at 299, rest is text
    pool.push_back(u"{" + std::u16string(297, u'M') + u"}");
    for (int round = 0; round < 3000; ++round) {
        const std::u16string dest = randomFile(rng, pool, static_cast<int>(rng() % 14));
        std::u16string src;
        if (round % 2 == 0) {
            src = randomFile(rng, pool, static_cast<int>(rng() % 14));
        } else {
            // The destination's own entries, shuffled, some left out, some doubled.
            std::vector<std::u16string> parts;
            for (std::size_t at = dest.find(u'{'); at != std::u16string::npos;) {
                const std::size_t next = dest.find(u'{', at + 1);
                parts.push_back(dest.substr(at, next == std::u16string::npos ? next : next - at));
                at = next;
            }
            std::shuffle(parts.begin(), parts.end(), rng);
            for (const auto& part : parts) {
                if (rng() % 5 != 0) {
                    src += part + u"translated\n";
                }
                if (rng() % 7 == 0) {
                    src += part;
                }
            }
        }
        ASSERT_EQ(merged(dest, src, TextEncoding::Utf16, false),
                  merged(dest, src, TextEncoding::Utf16, true))
            << "round " << round;
    }
}

} // namespace
