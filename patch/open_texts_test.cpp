// The scripts of a run on files held in memory: whatever the memory bound, they end as if
// each script had written its files at once, with the same messages, and a file is read and
// written once however many blocks change it. (The shared fault sweep stops such a run
// after every file operation.)
#include "patch/open_texts.h"
#include "patch/run_patch_script.h"
#include "platform/file_system.h"
#include "testing/test_support.h"

namespace {

using namespace testing_support;
using Files = testing_support::Snapshot;

// Bytes written "a|b|": each "|" stands for a CR LF.
std::string crlf(std::string text) {
    for (std::size_t at = text.find('|'); at != std::string::npos; at = text.find('|', at)) {
        text.replace(at, 1, "\r\n");
    }
    return text;
}

const std::string wideU("\xFF\xFEU\0", 4);

// Each script's folder holds x.txt ("X"), y.txt ("Y") and u.txt (UTF-16 "U").
struct Case {
    const char* name;
    std::string n;      // data\n.txt
    std::string s1, s2; // the [files] sections of the scripts s1 and s2, run in turn
    Files files = {};   // more files below data\campaign\sub
};

const Case cases[] = {
    {"later scripts build on earlier changes", "A|B|C|",
     "append data\\n.txt with x.txt after:|B|<end>|"
     "append data\\campaign\\sub\\s2\\y.txt with x.txt|",
     "replace data\\n.txt with y.txt on:|X|<end>|append data\\n.txt with:|Z|before:|C|"},
    {"a descriptor changed by an earlier script", "A|",
     "append data\\campaign\\sub\\s2.txt with block.txt|", "",
     Files{{u"s1\\block.txt", "append data\\n.txt with y.txt|"}}},
    {"one file under several spellings", "A|B|",
     "append data\\n.txt with x.txt after:|A|<end>|overwrite data\\new.txt|"
     "append data\\NEW.txt with x.txt|",
     "append data\\N.txt with:|W|after:|X|", Files{{u"s1\\new.txt", "N|"}}},
    {"overwrite, then blocks on the new content and mode", "A|B|",
     "overwrite data\\n.txt|append data\\n.txt with u.txt after:|A|",
     "append data\\n.txt with x.txt|append data\\n.txt with:|I|before:|B|",
     Files{{u"s1\\n.txt", "\xFF\xFE" + std::string("A\0\r\0\n\0B\0\r\0\n\0", 12)}}},
    {"a text that comes to begin with a byte-order mark changes its mode", "A|\xFF\xFE|B|",
     "replace data\\n.txt with x.txt after:|A|",
     "append data\\n.txt with x.txt|append data\\n.txt with u.txt|"},
    {"an append at the end keeps the bytes before it", "A\nB\n\r", "append data\\n.txt with x.txt|",
     "replace data\\n.txt with x.txt on:|B|"},
    {"translation, then blocks on its keys", "{A} one|{B} two|", "translate data\\n.txt|",
     "append data\\n.txt with:|{C}|after:|{B} zwei|", Files{{u"s1\\n.txt", "{B} zwei|"}}},
};

using Outcome = std::pair<Files, std::vector<std::u16string>>;

// The scripts in order, on one set of open texts written at the end as a campaign run does
// (`bound` its memory bound), or each script on its own, written when it is done.
Outcome outcome(const Case& c, bool shared, std::size_t bound = std::size_t{256} << 20,
                long* operations = nullptr) {
    ScratchFolder scratch;
    makeFolders(u"data\\campaign\\backup");
    writeFile(u"data\\n.txt", crlf(c.n));
    for (const auto& [name, section] :
         {std::pair<std::u16string, std::string>{u"s1", c.s1}, {u"s2", c.s2}}) {
        const std::u16string folder = u"data\\campaign\\sub\\" + name;
        writeFile(folder + u".txt", "[files]\r\n" + crlf(section));
        writeFile(folder + u"\\x.txt", "X\r\n");
        writeFile(folder + u"\\y.txt", "Y\r\n");
        writeFile(folder + u"\\u.txt", wideU);
    }
    for (const auto& [path, bytes] : c.files) {
        writeFile(u"data\\campaign\\sub\\" + path, crlf(bytes));
    }
    ErrorRecorder errors;
    OpenTexts texts;
    texts.memoryBound = bound;
    TouchedFileList touched;
    PatchContext context{errors.sink(), &touched, shared ? &texts : nullptr};
    platform::setFaultPlan({});
    for (const std::u16string name : {u"s1", u"s2"}) {
        runPatchScript({name, u"data\\campaign\\sub\\" + name + u".txt", name + u".txt"}, context);
    }
    if (shared) {
        writeOpenTexts(texts, context.errors);
    }
    if (operations != nullptr) {
        *operations = platform::fileOperationCount();
    }
    EXPECT_EQ(temporaryFilesLeft(), 0u);
    return {snapshot(u"data"), errors.texts};
}

TEST(OpenTexts, ScriptsOfARunEndAsIfEachWroteItsFilesAtOnce) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome each = outcome(c, false);
        EXPECT_EQ(outcome(c, true), each);
        // Held text past the bound goes to temporary files, and comes back unchanged.
        EXPECT_EQ(outcome(c, true, 1), each);
    }
}

TEST(OpenTexts, AFileIsReadAndWrittenOnceHoweverManyBlocksChangeIt) {
    const auto operations = [](int blocks) {
        std::string section;
        for (int i = 0; i < blocks; ++i) {
            section += "append data\\n.txt with x.txt after:|A|<end>|"
                       "replace data\\n.txt with x.txt on:|X|<end>|append data\\n.txt with x.txt|";
        }
        long count = 0;
        outcome({"", "A|B|", section, ""}, true, OpenTexts{}.memoryBound, &count);
        return count;
    };
    EXPECT_EQ(operations(10), operations(1));
}

} // namespace
