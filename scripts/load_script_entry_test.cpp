#include "scripts/script_entry.h"
#include "testing/test_support.h"

using namespace testing_support;

namespace {
ScriptEntry load(std::u16string_view fileName, std::string_view text, ErrorRecorder& errors) {
    if (!text.empty()) {
        writeFile(u"data\\campaign\\sub\\" + std::u16string(fileName), text);
    }
    return loadScriptEntry(fileName, errors.sink());
}
} // namespace

TEST(LoadScriptEntry, SectionsPresenceAndNames) {
    ScratchFolder scratch;
    ErrorRecorder errors;
    const ScriptEntry hd =
        load(u"hd.textures.txt",
             "[name]\r\nDetailed pictures\r\n[description]\r\nSharper.\\nMore.\r\n"
             "[works for]\r\nnorvale, eastmarch\r\n[grouped in]\r\nGraphics \r\n"
             "[checked] no\r\n[files]\r\noverwrite data\\a.pic with b.pic\r\n",
             errors);
    EXPECT_EQ(hd.folder + u"|" + hd.name + u"|" + hd.description + u"|" + hd.worksFor + u"|" +
                  hd.groupName,
              u"hd|Detailed pictures|Sharper.\nMore.|norvale, eastmarch|Graphics");
    EXPECT_TRUE(hd.hasGroup && hd.checked && !hd.required); // what follows [checked] is ignored
    // [required] inside the description counts, [files] on a last line without a line break
    // does; an empty [grouped in] is the group of the empty name.
    const ScriptEntry odd =
        load(u"a.b.txt", "[description]\r\nx\r\n[required]\r\n[grouped in]\r\n[files]", errors);
    EXPECT_TRUE(odd.required && !odd.checked && odd.hasGroup && odd.groupName.empty());
    EXPECT_EQ(odd.folder, u"a");
    // An unreadable descriptor gives only the names (a missing [files] is the scan test's).
    makeFolders(u"data\\campaign\\sub\\ghost.txt");
    for (const std::u16string_view name : {u"ghost.txt", u"nodot"}) {
        const ScriptEntry ghost = load(name, "", errors);
        EXPECT_EQ(ghost.fileName + u"|" + ghost.folder + u"|" + ghost.name,
                  std::u16string(name) + (name == u"nodot" ? u"||" : u"|ghost|"));
    }
    EXPECT_EQ(errors.texts, std::vector<std::u16string>{});
    // The whole long name reads its own descriptor, not one of the name cut short.
    const std::u16string longName = std::u16string(110, u'x') + u".txt";
    load(longName.substr(0, 99), "[name]Someone else\r\n[files]\r\n", errors);
    EXPECT_EQ(load(longName, "[name]The long one\r\n[files]\r\n", errors).name, u"The long one");
}

TEST(ScriptWorksFor, TokensCutAtBlanksAndCommasAndComparedWhole) {
    const struct {
        std::u16string_view list, campaign;
        bool works;
    } cases[] = {
        // Tokens are cut at blanks and commas only (a tab belongs to the token) and compared
        // whole; empty ones match nothing; "all" stands for every campaign, in exact case.
        {u"first,second third", u"second", true},
        {u"first,second third", u"third", true},
        {u"first,second third", u"second third", false},
        {u"first,second third", u"fir", false},
        {u"a\tb", u"a", false},
        {u" ,, norvale ,", u"norvale", true},
        {u"norvale,", u"", false},
        {u"eastmarch, all", u"norvale", true},
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

TEST(NormaliseGroupName, EndsAtTheFirstLineBreakAndDropsOneTrailingBlank) {
    const std::pair<std::u16string_view, std::u16string_view> cases[] = {
        {u"Titles", u"Titles"},
        {u"Titles  ", u"Titles "},
        {u"  Two  inner ", u"  Two  inner"},
        {u"first \nsecond", u"first"},
        {u" ", u""}};
    for (const auto& [raw, normalised] : cases) {
        EXPECT_EQ(normaliseGroupName(raw), normalised) << utf8(raw);
    }
}
