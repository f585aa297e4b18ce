#include "catalogue/read_section.h"
#include "testing/test_support.h"

namespace {
// readSection over a file whose CR LF lines are given with "\n".
struct Section {
    bool found;
    std::u16string value;
};
Section read(std::u16string text, std::u16string_view key, std::size_t capacity = 2000) {
    platform::TextInput file;
    file.text = std::move(text);
    file.position = 3; // readSection rewinds first
    Section s{false, u"<untouched>"};
    s.found = readSection(file, key, s.value, capacity);
    return s;
}
} // namespace

TEST(ReadSection, ValueOnTheHeaderLineAndHeaderMatching) {
    EXPECT_EQ(read(u"[name]Norvale\n[description]x\n", u"[name]").value, u"Norvale");
    EXPECT_EQ(read(u"[name] Norvale\n[description]x\n", u"[name]").value, u"Norvale");
    EXPECT_FALSE(read(u" [name]Norvale\n", u"[name]").found);
    EXPECT_FALSE(read(u"[Name]Norvale\n", u"[name]").found);
    // The key is compared over its own length: "[name]sake" matches, "[names]" does not.
    EXPECT_EQ(read(u"[name]sake\n", u"[name]").value, u"sake");
    EXPECT_FALSE(read(u"[names]Norvale\n", u"[name]").found);
    const Section missing = read(u"[description]x\n", u"[name]");
    EXPECT_FALSE(missing.found);
    EXPECT_EQ(missing.value, u"<untouched>");
    EXPECT_FALSE(read(u"", u"[name]").found);
}

TEST(ReadSection, CleaningJoinsLinesHalvesBreakRunsAndTurnsBackslashN) {
    EXPECT_EQ(read(u"[description]\na\nb\nc\n", u"[description]").value, u"abc");
    EXPECT_EQ(read(u"[description]\na\n\nb\n", u"[description]").value, u"a\nb");
    EXPECT_EQ(read(u"[description]\na\n\n\n\nb\n", u"[description]").value, u"a\n\nb");
    EXPECT_EQ(read(u"[description]one\\ntwo\n", u"[description]").value, u"one\ntwo");
    EXPECT_EQ(read(u"[description]   lead and trail  \n", u"[description]").value,
              u"lead and trail  ");
    // A header followed only by its blank gives an empty value, not a line break.
    EXPECT_EQ(read(u"[scripts] \n[translation] none\n", u"[scripts]").value, u"");
    EXPECT_EQ(read(u"[name] \nNorvale\n", u"[name]").value, u"Norvale");
}

TEST(ReadSection, ValueEndsAtAnyKnownHeader) {
    EXPECT_EQ(read(u"[name]a\nb\n[code]\nc\n", u"[name]").value, u"ab");
    EXPECT_EQ(read(u"[name]a\n[campaign] x\n", u"[name]").value, u"a");
    EXPECT_EQ(read(u"[name]a\n[other]b\n", u"[name]").value, u"a[other]b");
    EXPECT_EQ(read(u"[name]first\n[name]second\n", u"[name]").value, u"first");
    const Section empty = read(u"[name]\n[description]x\n", u"[name]");
    EXPECT_TRUE(empty.found);
    EXPECT_EQ(empty.value, u"");
}

TEST(ReadSection, LongLinesArriveInPiecesAndComeOutWhole) {
    const std::u16string line(450, u'x');
    EXPECT_EQ(read(u"[description]\n" + line + u"\n", u"[description]").value, line);
    // A piece of a long line that happens to start with a header ends the value.
    const std::u16string tricky = std::u16string(199 - 13, u'y') + u"[code]zz\n";
    EXPECT_EQ(read(std::u16string(u"[description]") + tricky, u"[description]")
                  .value.size(),
              186u);
}

TEST(ReadSection, LastLineWithoutBreakIsKeptAndOverlongValuesAreCut) {
    EXPECT_EQ(read(u"[name]a\nlast", u"[name]").value, u"alast");
    EXPECT_EQ(read(u"[name]abcdefgh\n", u"[name]", 5).value, u"abcd");
    EXPECT_EQ(read(u"[name]" + std::u16string(5000, u'n'), u"[name]", 100).value.size(), 99u);
}

TEST(ReadSection, PresenceMode) {
    std::u16string untouched = u"same";
    platform::TextInput file;
    file.text = u"[name]x\n[files]\nappend a\n[checked]";
    EXPECT_TRUE(readSection(file, u"[checked]", untouched, 0));
    EXPECT_TRUE(readSection(file, u"[files]", untouched, 0));
    EXPECT_FALSE(readSection(file, u"[required]", untouched, 0));
    EXPECT_EQ(untouched, u"same");
}

TEST(ReadSection, ByteOrderMarkAndUtf16FilesHideHeaders) {
    platform::TextInput withMark;
    withMark.text = platform::decodeText("\xEF\xBB\xBF[name]x\r\n", platform::TextEncoding::Bytes8);
    std::u16string value;
    EXPECT_FALSE(readSection(withMark, u"[name]", value, 100));
    platform::TextInput wide;
    wide.text = platform::decodeText(std::string("\xFF\xFE[\0n\0a\0m\0e\0]\0x\0", 16),
                                     platform::TextEncoding::Bytes8);
    EXPECT_FALSE(readSection(wide, u"[name]", value, 100));
}
