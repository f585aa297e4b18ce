#include "scripts/script_entry.h"
#include "testing/test_support.h"

namespace {
bool worksFor(std::u16string_view list, std::u16string_view campaign) {
    ScriptEntry script;
    script.worksFor = std::u16string(list);
    return scriptWorksFor(script, campaign);
}
} // namespace

TEST(ScriptWorksFor, TokensAreCutAtBlanksAndCommasOnly) {
    EXPECT_TRUE(worksFor(u"first,second third", u"first"));
    EXPECT_TRUE(worksFor(u"first,second third", u"second"));
    EXPECT_TRUE(worksFor(u"first,second third", u"third")); // last token, no separator after it
    EXPECT_FALSE(worksFor(u"first,second third", u"second third"));
    EXPECT_FALSE(worksFor(u"first,second third", u"fir"));
    EXPECT_FALSE(worksFor(u"first,second third", u"firstsecond"));
    // A list written over two lines runs together in the section value.
    EXPECT_TRUE(worksFor(u"firstsecond", u"firstsecond"));
    EXPECT_FALSE(worksFor(u"firstsecond", u"first"));
    // A tab belongs to the token.
    EXPECT_FALSE(worksFor(u"a\tb", u"a"));
    EXPECT_TRUE(worksFor(u"a\tb", u"a\tb"));
    EXPECT_TRUE(worksFor(u" ,, norvale ,", u"norvale"));
}

TEST(ScriptWorksFor, AllAndExactCase) {
    EXPECT_TRUE(worksFor(u"all", u"norvale"));
    EXPECT_TRUE(worksFor(u"eastmarch, all", u"anything"));
    EXPECT_FALSE(worksFor(u"All", u"norvale"));
    EXPECT_FALSE(worksFor(u"ALL", u"norvale"));
    EXPECT_TRUE(worksFor(u"All", u"All"));
    EXPECT_FALSE(worksFor(u"Norvale", u"norvale"));
    EXPECT_FALSE(worksFor(u"allx", u"norvale"));
}

TEST(ScriptWorksFor, EmptyListsAndEmptyTokensMatchNothing) {
    EXPECT_FALSE(worksFor(u"", u"norvale"));
    EXPECT_FALSE(worksFor(u"", u""));
    EXPECT_FALSE(worksFor(u",, ", u""));
    EXPECT_FALSE(worksFor(u"norvale,", u""));
}

TEST(NormaliseGroupName, EndsAtTheFirstLineBreakAndDropsOneTrailingBlank) {
    EXPECT_EQ(normaliseGroupName(u"Difficulty"), u"Difficulty");
    EXPECT_EQ(normaliseGroupName(u"Titles "), u"Titles");
    EXPECT_EQ(normaliseGroupName(u"Titles  "), u"Titles ");
    EXPECT_EQ(normaliseGroupName(u"Hard mode"), u"Hard mode"); // inner blanks stay
    EXPECT_EQ(normaliseGroupName(u"  Two  inner  "), u"  Two  inner ");
    EXPECT_EQ(normaliseGroupName(u"first\nsecond"), u"first");
    EXPECT_EQ(normaliseGroupName(u"first \nsecond"), u"first");
    EXPECT_EQ(normaliseGroupName(u"\nsecond"), u"");
    EXPECT_EQ(normaliseGroupName(u""), u"");
    EXPECT_EQ(normaliseGroupName(u" "), u"");
}

TEST(NormaliseGroupName, FinishesOnAnyMixOfBlanks) {
    // A rule that removes blanks one pass at a time never finishes on inputs like this.
    const std::u16string blanks(20000, u' ');
    EXPECT_EQ(normaliseGroupName(blanks), std::u16string(19999, u' '));
}
