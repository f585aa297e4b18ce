#include "scripts/script_entry.h"
#include "testing/test_support.h"

using namespace testing_support;

TEST(LoadScriptEntry, SectionsPresenceAndNames) {
    ScratchFolder scratch;
    ErrorRecorder errors;
    writeFile(u"data\\campaign\\sub\\hd.textures.txt",
              "[name]\r\nDetailed pictures\r\n[description]\r\nSharper.\\nMore.\r\n"
              "[works for]\r\nnorvale, eastmarch\r\n[grouped in]\r\nGraphics  \\nline two\r\n"
              "[checked] no\r\n[files]\r\noverwrite data\\a.pic with b.pic\r\n");
    writeFile(u"data\\campaign\\sub\\a.b.txt",
              "[description]\r\nx\r\n[required]\r\n[grouped in]\r\n[files]");
    const ScriptEntry hd = loadScriptEntry(u"hd.textures.txt", errors.sink());
    EXPECT_EQ(hd.folder + u"|" + hd.name + u"|" + hd.description + u"|" + hd.worksFor + u"|" +
                  hd.groupName,
              u"hd|Detailed pictures|Sharper.\nMore.|norvale, eastmarch|Graphics ");
    EXPECT_TRUE(hd.hasGroup && hd.checked && !hd.required); // what follows [checked] is ignored
    // A group name ends at its first line break and loses one trailing blank. [required]
    // inside the description counts, [files] on a last line without a line break does; an
    // empty [grouped in] is the group of the empty name.
    const ScriptEntry odd = loadScriptEntry(u"a.b.txt", errors.sink());
    EXPECT_TRUE(odd.required && !odd.checked && odd.hasGroup && odd.groupName.empty());
    EXPECT_EQ(odd.folder, u"a");
    EXPECT_EQ(errors.texts, std::vector<std::u16string>{});
}

TEST(ScriptWorksFor, TokensCutAtBlanksAndCommasAndComparedWhole) {
    const struct {
        std::u16string_view list, campaign;
        bool works;
    } cases[] = {
        // Tokens are cut at blanks and commas only (a tab belongs to the token) and compared
        // whole; empty ones match nothing; "all" stands for every campaign, in exact case.
        {u"first,second third", u"second third", false},
        {u"a\tb", u"a", false},
        {u" ,, norvale ,", u"norvale", true},
        {u"norvale,", u"", false},
        {u"allx", u"norvale", false},
        {u"All", u"norvale", false},
    };
    for (const auto& c : cases) {
        ScriptEntry script;
        script.worksFor = c.list;
        EXPECT_EQ(scriptWorksFor(script, c.campaign), c.works)
            << utf8(c.list) << " / " << utf8(c.campaign);
    }
}
