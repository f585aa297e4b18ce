#include "catalogue/read_section.h"
#include "testing/test_support.h"

TEST(ReadSection, ValuesAndPresence) {
    const std::u16string line(450, u'x');
    // A piece of a long line that happens to start with a header ends the value.
    const std::u16string tricky = std::u16string(199 - 13, u'y') + u"[code]zz\n";
    const struct {
        std::u16string text; // CR LF lines given with "\n"
        std::u16string_view key;
        std::u16string value; // "<untouched>" when not found
        std::size_t capacity = 2000;
    } cases[] = {
        // Header matching: at the start of a line, exact case, over the key's own length.
        {u"[name]Norvale\n[description]x\n", u"[name]", u"Norvale"},
        {u" [name]Norvale\n", u"[name]", u"<untouched>"},
        {u"[Name]Norvale\n", u"[name]", u"<untouched>"},
        {u"[names]Norvale\n", u"[name]", u"<untouched>"},
        // Cleaning joins lines, halves runs of line breaks, drops leading blanks.
        {u"[description]\na\nb\nc\n", u"[description]", u"abc"},
        {u"[description]\na\n\n\n\nb\n", u"[description]", u"a\n\nb"},
        {u"[description]   lead and trail  \n", u"[description]", u"lead and trail  "},
        // A header followed only by its blank: the value is on the next line.
        {u"[name] \nNorvale\n", u"[name]", u"Norvale"},
        // The value ends at any known header, and only there.
        {u"[name]a\nb\n[code]\nc\n", u"[name]", u"ab"},
        {u"[name]a\n[other]b\n", u"[name]", u"a[other]b"},
        {u"[name]first\n[name]second\n", u"[name]", u"first"},
        {u"[description]" + tricky, u"[description]", std::u16string(186, u'y')},
        // Long lines arrive in pieces and come out whole; the last line needs no break.
        {u"[description]\n" + line + u"\n", u"[description]", line},
        {u"[name]a\nlast", u"[name]", u"alast"},
        // Overlong values are cut to the capacity; a byte order mark hides the first header.
        {u"[name]abcdefgh\n", u"[name]", u"abcd", 5},
        {u"[name]" + std::u16string(5000, u'n'), u"[name]", std::u16string(99, u'n'), 100},
        {u"\u00EF\u00BB\u00BF[name]x\n", u"[name]", u"<untouched>"},
    };
    for (const auto& c : cases) {
        platform::TextInput file{c.text, 3}; // readSection rewinds first
        std::u16string value = u"<untouched>";
        const bool found = readSection(file, c.key, value, c.capacity);
        EXPECT_EQ(found, value != u"<untouched>");
        EXPECT_EQ(value, c.value) << testing_support::utf8(c.text);
    }
}
