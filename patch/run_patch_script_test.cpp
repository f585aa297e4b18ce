// The script reader on descriptors, and the scripts of a run on files held in memory.
#include "patch/run_patch_script.h"

#include "patch/apply_patch_block.h"
#include "patch/open_texts.h"
#include "platform/file_system.h"
#include "testing/test_support.h"

namespace {

using namespace testing_support;
using Texts = std::vector<std::u16string>;
using Files = testing_support::Snapshot;

const std::u16string mod = u"data\\campaign\\sub\\mod.txt";
const std::u16string head = u"Error while processing mod.txt\n\n";
const std::u16string keyword = u"Cannot read the start-keyword in file " + mod +
                               u"\nValid keywords are: append, translate, overwrite, replace";
const std::u16string condition = u"Cannot read the when-condition in file " + mod +
                                 u"\nValid conditions are: from, on, before, after";

// Bytes written "a|b|": each "|" stands for a CR LF.
std::string crlf(std::string text) {
    for (std::size_t at = text.find('|'); at != std::string::npos; at = text.find('|', at)) {
        text.replace(at, 1, "\r\n");
    }
    return text;
}

std::string wide(std::u16string_view text) {
    return "\xFF\xFE" + platform::encodeText(text, platform::TextEncoding::Utf16);
}

// A game folder with data\n.txt and, for each script, its descriptor ("<missing>": none; a
// [files] line comes first unless it starts with "[") and its folder, which holds x.txt
// ("X"), y.txt ("Y"), u.txt (UTF-16 "U") and n.txt ("{B}bee", a file of the destination's
// own name); then more files below data\campaign\sub.
void makeGame(const std::string& n, const Files& descriptors, const Files& more = {}) {
    makeFolders(u"data\\campaign\\backup");
    writeFile(u"data\\n.txt", crlf(n));
    for (const auto& [name, descriptor] : descriptors) {
        const std::u16string script = u"data\\campaign\\sub\\" + name;
        if (descriptor != "<missing>") {
            writeFile(script + u".txt",
                      crlf((descriptor.starts_with("[") ? "" : "[files]|") + descriptor));
        }
        writeFile(script + u"\\x.txt", "X\r\n");
        writeFile(script + u"\\y.txt", "Y\r\n");
        writeFile(script + u"\\u.txt", wide(u"U"));
        writeFile(script + u"\\n.txt", "{B}bee\r\n");
    }
    for (const auto& [path, bytes] : more) {
        writeFile(u"data\\campaign\\sub\\" + path, crlf(bytes));
    }
}

ScriptJob job(const std::u16string& name) {
    return {name, u"data\\campaign\\sub\\" + name + u".txt", name + u".txt"};
}

} // namespace

TEST(RunPatchScript, DescriptorsAndWhatTheyLeave) {
    const std::u16string longPath = u"data\\" + std::u16string(254, u'n'); // 259 characters
    const std::string q(1999, 'q');
    std::string lines; // L1 to L30
    for (int i = 1; i <= 30; ++i) {
        lines += "L" + std::to_string(i) + "|";
    }
    const std::u16string missing = head + u"File does not exist: ";
    const std::u16string own = u"data\\campaign\\sub\\mod\\";
    const std::u16string incompatible = u".\nUnicode files will accept only unicode input.";
    const struct {
        const char* what;
        std::string descriptor; // "<missing>": none
        std::string after;      // of `check`
        Texts messages = {};
        std::string text = "A|B|C|"; // data\n.txt at first
        bool result = true;
        std::u16string check = u"data\\n.txt";
    } cases[] = {
        {"every block once; ends, blank lines and other headers passed over; keywords of 9",
         "[name]|Mod|[files]   |overwrites data\\n.txt with y.txt|<end>||   \t|[checked]|"
         "append data\\n.txt with x.txt after:|Y|<end>|<end>|append data\\n.txt with x.txt|",
         "Y|X||X|"},
        {"head-line messages and what is read after them",
         "Append data\\n.txt with x.txt|append|append data\\n.txt without x.txt|"
         "append data\\n.txt with:abc|Z|after:|A|appendix|append data\\n.txt with x.txt upon:|B|",
         "A|Z|B|C|",
         Texts{keyword, u"Cannot read the destination file in " + mod,
               u"Cannot read the with-keyword in file " + mod, keyword, condition, keyword}},
        {"the existence and mode check, also of an append on or from",
         "append data\\no.txt with no.txt after:|A|<end>|append data\\no.txt with x.txt on:|A|"
         "<end>|append data\\n.txt with no.txt from:|A|to:|B|translate data\\n.txt with u.txt|",
         "A|B|C|",
         Texts{head + u"These two files do not exist: data\\no.txt and " + own + u"no.txt",
               missing + u"data\\no.txt", missing + own + u"no.txt",
               head + u"These two files are incompatible: data\\n.txt and " + own + u"u.txt" +
                   incompatible}},
        {"trailing blank lines dropped; an indented keyword does not end a text",
         "append data\\n.txt with x.txt before:|A||B|  append|||<end>|", "X|A||B|  append|C|",
         Texts{}, "A||B|  append|C|"},
        {"a text holds thirty lines; the 31st is read as a head",
         "append data\\n.txt with x.txt after:|" + lines + "L31|", lines + "X|L31|", Texts{keyword},
         lines + "L31|"},
        {"a missing to-text or anchor: the file is rewritten as it was",
         "replace data\\n.txt with x.txt from:|B|to:|Z 100%d|<end>|replace data\\n.txt with x.txt "
         "on:|Q|",
         "A|B|",
         Texts{head + u"File data\\n.txt does not contain:\nZ 100%d\n\nOperation aborted.",
               head + u"File data\\n.txt does not contain:\nQ\nOperation aborted."},
         "A\nB\n"},
        {"a from block without \"to:\" ends the script",
         "replace data\\n.txt with: |Y|from:|A|<end>|append data\\n.txt with x.txt|", "A|B|C|",
         Texts{u"Cannot find the to-condition in file " + mod}, "A|B|C|", false},
        {"\"<end>\" inside inline text is text; the condition line ends it",
         "append data\\n.txt with:|Y|<end>|after: ignored words|B|<end>|", "A|B|Y|<end>|C|"},
        {"a head right after inline text is its condition line",
         "append data\\n.txt with:|Y|on: x|B|<end>|append data\\n.txt with:|Y|"
         "append data\\n.txt with x.txt|A|<end>|",
         "A|B|C|", Texts{condition, keyword}},
        {"inline text for a missing destination: the lines are read as heads",
         "append data\\none.txt with:|Y||<end>|Z|after:|A|", "A|B|C|",
         Texts{std::u16string(temporaryFileMessage), keyword, keyword, keyword, keyword}},
        {"inline text for a UTF-16 destination is UTF-16, a source must be",
         "replace data\\n.txt with x.txt on:|A|<end>|append data\\n.txt with:|Y\xE9|after:|A|",
         wide(u"A\nY\u00E9\n"),
         Texts{head + u"These two files are incompatible: data\\n.txt and " + own + u"x.txt" +
               incompatible},
         wide(u"A\n")},
        {"long words are cut without shifting the others",
         "overwrite " + utf8(longPath) + "EXTRA with x.txt|", "X|", Texts{}, "A|B|C|", true,
         longPath},
        {"long lines are read in pieces of 1999 characters",
         "append data\\n.txt with x.txt after:|" + q + "append data\\n.txt with x.txt|",
         q + "|X|B||X|", Texts{}, q + "|B|"},
        {"no [files] section", "[name]|Mod| [files]|append x|", "A|B|C|",
         Texts{u"There seems to be no [files] section inside the file " + mod}, "A|B|C|", false},
        {"a descriptor that cannot be opened is passed over", "<missing>", "A|B|C|"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchFolder scratch;
        makeGame(c.text, {{u"mod", c.descriptor}});
        ErrorRecorder errors;
        TouchedFileList touched;
        PatchContext context{errors.sink(), &touched};
        EXPECT_EQ(runPatchScript(job(u"mod"), context), c.result);
        EXPECT_EQ(readFile(c.check), crlf(c.after));
        EXPECT_EQ(errors.texts, c.messages);
        EXPECT_EQ(temporaryFilesLeft(), 0u);
    }
}

// The scripts of a run on files held in memory, whatever the memory bound, end as if each
// had written its files at once, with the same messages. (The whole-run tests see later
// scripts build on earlier changes; the shared fault sweep stops such runs at every step.)
TEST(OpenTexts, ScriptsOfARunEndAsIfEachWroteItsFilesAtOnce) {
    const struct {
        const char* name;
        std::string n;      // data\n.txt
        std::string s1, s2; // the [files] sections of the scripts s1 and s2, run in turn
        Files files = {};   // more files below data\campaign\sub
        const char16_t* secondName = nullptr; // a hard link of data\n.txt
    } cases[] = {
        {"a descriptor and a source changed by an earlier script", "A|",
         "append data\\campaign\\sub\\s2.txt with block.txt|"
         "append data\\campaign\\sub\\s2\\y.txt with x.txt|",
         "", Files{{u"s1\\block.txt", "append data\\n.txt with y.txt|"}}},
        {"one file under several spellings", "A|B|",
         "append data\\n.txt with x.txt after:|A|<end>|overwrite data\\new.txt|"
         "append data\\NEW.txt with x.txt|",
         "append data\\N.txt with:|W|after:|X|", Files{{u"s1\\new.txt", "N|"}}},
        {"overwrite, then blocks on the new content and mode", "A|B|",
         "overwrite data\\n.txt|append data\\n.txt with u.txt after:|A|",
         "append data\\n.txt with x.txt|append data\\n.txt with:|I|before:|B|",
         Files{{u"s1\\n.txt", wide(u"A\nB\n")}}},
        {"a text that comes to begin with a byte-order mark changes its mode", "A|\xFF\xFE|B|",
         "replace data\\n.txt with x.txt after:|A|",
         "append data\\n.txt with x.txt|append data\\n.txt with u.txt|"},
        {"an append at the end keeps the bytes before it", "A\nB\n\r",
         "append data\\n.txt with x.txt|", "replace data\\n.txt with x.txt on:|B|"},
        {"two names of one file change as two files", "A|",
         "append data\\n.txt with x.txt|", "append data\\m.txt with y.txt|", {}, u"data\\m.txt"},
    };
    // The scripts in order, on one set of open texts written at the end as a campaign run
    // does (`bound` its memory bound; 0: each script on its own, written when it is done).
    // Held text past the bound goes to temporary files, and comes back unchanged.
    const auto outcome = [](const auto& c, std::size_t bound) {
        ScratchFolder scratch;
        makeGame(c.n, {{u"s1", c.s1}, {u"s2", c.s2}}, c.files);
        if (c.secondName != nullptr) {
            EXPECT_TRUE(platform::linkFile(u"data\\n.txt", c.secondName));
        }
        ErrorRecorder errors;
        OpenTexts texts;
        texts.memoryBound = bound;
        TouchedFileList touched;
        PatchContext context{errors.sink(), &touched, bound != 0 ? &texts : nullptr};
        runPatchScript(job(u"s1"), context);
        runPatchScript(job(u"s2"), context);
        writeOpenTexts(texts, context.errors);
        EXPECT_EQ(temporaryFilesLeft(), 0u);
        EXPECT_EQ(keptSecondNames(), "");
        return std::pair{snapshot(u"data"), errors.texts};
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto each = outcome(c, 0);
        EXPECT_EQ(outcome(c, OpenTexts{}.memoryBound), each);
        EXPECT_EQ(outcome(c, 1), each);
    }
}
