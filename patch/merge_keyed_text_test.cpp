// The merge's rules, one case each; the fuzz target fuzz_merge holds it to the plain search
// rule on inputs of every shape besides (the test command fuzzes it for a while).
#include "patch/merge_keyed_text.h"

#include <gtest/gtest.h>

TEST(MergeKeyedText, Rules) {
    const std::u16string banner(translationBanner), key299 = u"{" + std::u16string(298, u'k');
    const std::u16string longText = u"{A}" + std::u16string(9000, u'x') + u"\n";
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
        {"source texts in destination order", u"{A}a\n{B}b\n{C}c\n", u"{C}C\n{A}A\n{Z}z\n",
         u"{A}A\n{B}b\n{C}C\n"},
        {"a line break for a source text without one, also for an empty one", u"{A}a\n{B}b\n",
         u"{B}last{A}", u"{A}\n{B}last\n"},
        {"keys are cut at 299 characters, the rest is text", key299 + u"k}rest\n",
         key299 + u"TEXT\n", key299 + u"TEXT\n"},
        // After {B} the source stands at the second {A}; the first is met on the way round.
        {"repeated source keys follow the search place", u"{B}b\n{A}a\n{A}a\n",
         u"{A}first\n{B}B\n{A}second\n", u"{B}B\n{A}second\n{A}first\n"},
        {"texts past the capacity are written whole", u"{A}a\n{B}b\n", longText,
         longText + u"{B}b\n"},
        {"a key the source lacks among many", u"{Z}z\n", sixteenKeys, u"{Z}z\n"},
    };
    for (const auto& c : cases) {
        platform::TextInput dest{c.dest, 0}, src{c.src, 0};
        platform::TextOutput out;
        out.encoding = platform::TextEncoding::Utf16;
        mergeKeyedText(dest, src, out, 3000);
        EXPECT_EQ(out.bytes, platform::encodeText(banner + c.out, platform::TextEncoding::Utf16))
            << c.rule;
    }
}
