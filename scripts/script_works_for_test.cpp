#include "scripts/script_entry.h"
#include "testing/test_support.h"

TEST(ScriptWorksFor, TokensAllAndExactCase) {
    const struct {
        std::u16string_view list, campaign;
        bool works;
    } cases[] = {
        // Tokens are cut at blanks and commas only; a tab belongs to the token.
        {u"first,second third", u"first", true},
        {u"first,second third", u"third", true}, // last token, no separator after it
        {u"first,second third", u"second third", false},
        {u"first,second third", u"fir", false},
        {u"first,second third", u"firstsecond", false},
        {u"firstsecond", u"first", false}, // a list over two lines runs together
        {u"a\tb", u"a", false},
        {u"a\tb", u"a\tb", true},
        {u" ,, norvale ,", u"norvale", true},
        // "all" in exact case stands for every campaign; names match in exact case.
        {u"eastmarch, all", u"anything", true},
        {u"All", u"norvale", false},
        {u"All", u"All", true},
        {u"Norvale", u"norvale", false},
        {u"allx", u"norvale", false},
        // Empty lists and empty tokens match nothing.
        {u"", u"", false},
        {u",, ", u"", false},
        {u"norvale,", u"", false},
    };
    for (const auto& c : cases) {
        ScriptEntry script;
        script.worksFor = c.list;
        EXPECT_EQ(scriptWorksFor(script, c.campaign), c.works)
            << testing_support::utf8(c.list) << " / " << testing_support::utf8(c.campaign);
    }
}

TEST(NormaliseGroupName, EndsAtTheFirstLineBreakAndDropsOneTrailingBlank) {
    const std::pair<std::u16string_view, std::u16string_view> cases[] = {
        {u"Difficulty", u"Difficulty"},
        {u"Titles ", u"Titles"},
        {u"Titles  ", u"Titles "},
        {u"  Two  inner  ", u"  Two  inner "},
        {u"first \nsecond", u"first"},
        {u"\nsecond", u""},
        {u" ", u""},
    };
    for (const auto& [raw, normalised] : cases) {
        EXPECT_EQ(normaliseGroupName(raw), normalised) << testing_support::utf8(raw);
    }
    // A rule that removes blanks one pass at a time never finishes on inputs like this.
    EXPECT_EQ(normaliseGroupName(std::u16string(20000, u' ')), std::u16string(19999, u' '));
}
