#include "catalogue/read_section.h"
#include "testing/test_support.h"

namespace {
// A file whose CR LF lines are given with "\n", the key, and what readSection gives.
struct Case {
    std::u16string text;
    std::u16string_view key;
    std::u16string value; // "<untouched>" when not found
    std::size_t capacity = 2000;
};

std::u16string read(const Case& c) {
    platform::TextInput file;
    file.text = c.text;
    file.position = 3; // readSection rewinds first
    std::u16string value = u"<untouched>";
    const bool found = readSection(file, c.key, value, c.capacity);
    EXPECT_EQ(found, value != u"<untouched>") << testing_support::utf8(c.text);
    return value;
}
} // namespace

TEST(ReadSection, Values) {
    const std::u16string line(450, u'x');
    const Case cases[] = {
        // Header matching: at the start of a line, exact case, over the key's own length.
        {u"[name]Norvale\n[description]x\n", u"[name]", u"Norvale"},
        {u"[name] Norvale\n[description]x\n", u"[name]", u"Norvale"},
        {u" [name]Norvale\n", u"[name]", u"<untouched>"},
        {u"[Name]Norvale\n", u"[name]", u"<untouched>"},
        {u"[name]sake\n", u"[name]", u"sake"},
        {u"[names]Norvale\n", u"[name]", u"<untouched>"},
        {u"[description]x\n", u"[name]", u"<untouched>"},
        {u"", u"[name]", u"<untouched>"},
        // Cleaning joins lines, halves runs of line breaks, turns "\n" into a break.
        {u"[description]\na\nb\nc\n", u"[description]", u"abc"},
        {u"[description]\na\n\nb\n", u"[description]", u"a\nb"},
        {u"[description]\na\n\n\n\nb\n", u"[description]", u"a\n\nb"},
        {u"[description]one\\ntwo\n", u"[description]", u"one\ntwo"},
        {u"[description]   lead and trail  \n", u"[description]", u"lead and trail  "},
        // A header followed only by its blank gives an empty value, not a line break.
        {u"[scripts] \n[translation] none\n", u"[scripts]", u""},
        {u"[name] \nNorvale\n", u"[name]", u"Norvale"},
        // The value ends at any known header, and only there.
        {u"[name]a\nb\n[code]\nc\n", u"[name]", u"ab"},
        {u"[name]a\n[campaign] x\n", u"[name]", u"a"},
        {u"[name]a\n[other]b\n", u"[name]", u"a[other]b"},
        {u"[name]first\n[name]second\n", u"[name]", u"first"},
        {u"[name]\n[description]x\n", u"[name]", u""},
        // Long lines arrive in pieces and come out whole; the last line needs no break.
        {u"[description]\n" + line + u"\n", u"[description]", line},
        {u"[name]a\nlast", u"[name]", u"alast"},
        // Overlong values are cut to the capacity.
        {u"[name]abcdefgh\n", u"[name]", u"abcd", 5},
        {u"[name]" + std::u16string(5000, u'n'), u"[name]", std::u16string(99, u'n'), 100},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(read(c), c.value) << testing_support::utf8(c.text);
    }
    // A piece of a long line that happens to start with a header ends the value.
    const std::u16string tricky = std::u16string(199 - 13, u'y') + u"[code]zz\n";
    EXPECT_EQ(read({u"[description]" + tricky, u"[description]", u""}).size(), 186u);
}

TEST(ReadSection, PresenceModeAndHiddenHeaders) {
    std::u16string untouched = u"same";
    platform::TextInput file;
    file.text = u"[name]x\n[files]\nappend a\n[checked]";
    EXPECT_TRUE(readSection(file, u"[checked]", untouched, 0));
    EXPECT_TRUE(readSection(file, u"[files]", untouched, 0));
    EXPECT_FALSE(readSection(file, u"[required]", untouched, 0));
    EXPECT_EQ(untouched, u"same");
    // A byte order mark or a UTF-16 file read as 8 bits hides the first header.
    file.text = platform::decodeText("\xEF\xBB\xBF[name]x\r\n", platform::TextEncoding::Bytes8);
    EXPECT_FALSE(readSection(file, u"[name]", untouched, 100));
    file.text = platform::decodeText(std::string("\xFF\xFE[\0n\0a\0m\0e\0]\0x\0", 16),
                                     platform::TextEncoding::Bytes8);
    EXPECT_FALSE(readSection(file, u"[name]", untouched, 100));
}
