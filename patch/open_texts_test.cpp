// The scripts of a run on files held in memory: whatever the memory bound, they end as if
// each script had written its files at once, with the same messages; a file is read and
// written once however many blocks change it; a run stopped anywhere leaves each file whole.
#include "patch/open_texts.h"
#include "patch/run_patch_script.h"
#include "platform/file_system.h"
#include "testing/test_support.h"

#include <string>
#include <utility>
#include <vector>

namespace {

using namespace testing_support;
using Files = testing_support::Snapshot;

struct Case {
    const char* name;
    Files files;   // below data\ ; scripts are "data\campaign\sub\<name>.txt"
    Files scripts; // script name -> its [files] section
};

const std::string utf16Names("\xFF\xFE"
                             "A\0\r\0\n\0B\0\r\0\n\0",
                             14);

const std::vector<Case> cases = {
    {"later scripts build on earlier changes",
     {{u"text\\names.txt", "A\r\nB\r\nC\r\n"}, {u"campaign\\sub\\s1\\x.txt", "X\r\n"},
      {u"campaign\\sub\\s2\\y.txt", "Y\r\n"}},
     {{u"s1", "append data\\text\\names.txt with x.txt after:\r\nB\r\n<end>\r\n"
              "append data\\campaign\\sub\\s2\\y.txt with x.txt\r\n"},
      {u"s2", "replace data\\text\\names.txt with y.txt on:\r\nX\r\n<end>\r\n"
              "append data\\text\\names.txt with:\r\nZ\r\nbefore:\r\nC\r\n"}}},
    {"a descriptor changed by an earlier script",
     {{u"text\\names.txt", "A\r\n"}, {u"campaign\\sub\\s1\\block.txt",
                                     "append data\\text\\names.txt with y.txt\r\n"},
      {u"campaign\\sub\\s2\\y.txt", "Y\r\n"}},
     {{u"s1", "append data\\campaign\\sub\\s2.txt with block.txt\r\n"}, {u"s2", ""}}},
    {"one file under several spellings",
     {{u"text\\names.txt", "A\r\nB\r\n"}, {u"campaign\\sub\\s1\\x.txt", "X\r\n"},
      {u"campaign\\sub\\s1\\new.txt", "N\r\n"}},
     {{u"s1", "append data\\text\\names.txt with x.txt after:\r\nA\r\n<end>\r\n"
              "overwrite data\\text\\new.txt\r\n"
              "append data\\TEXT\\NEW.txt with x.txt\r\n"},
      {u"s2", "append data\\Text\\Names.txt with:\r\nW\r\nafter:\r\nX\r\n"}}},
    {"overwrite, then blocks on the new content and mode",
     {{u"text\\names.txt", "A\r\nB\r\n"}, {u"campaign\\sub\\s1\\names.txt", utf16Names},
      {u"campaign\\sub\\s1\\u.txt", std::string("\xFF\xFEU\0", 4)},
      {u"campaign\\sub\\s2\\x.txt", "X\r\n"}},
     {{u"s1", "overwrite data\\text\\names.txt\r\n"
              "append data\\text\\names.txt with u.txt after:\r\nA\r\n<end>\r\n"},
      {u"s2", "append data\\text\\names.txt with x.txt\r\n"
              "append data\\text\\names.txt with:\r\nI\r\nbefore:\r\nB\r\n"}}},
    {"a text that comes to begin with a byte-order mark changes its mode",
     {{u"text\\names.txt", "A\r\n\xFF\xFE\r\nB\r\n"}, {u"campaign\\sub\\s1\\x.txt", "X\r\n"},
      {u"campaign\\sub\\s2\\x.txt", "X\r\n"},
      {u"campaign\\sub\\s2\\u.txt", std::string("\xFF\xFEU\0", 4)}},
     {{u"s1", "replace data\\text\\names.txt with x.txt after:\r\nA\r\n"},
      {u"s2", "append data\\text\\names.txt with x.txt\r\n"
              "append data\\text\\names.txt with u.txt\r\n"}}},
    {"an append at the end keeps the bytes before it",
     {{u"text\\names.txt", "A\nB\n\r"}, {u"campaign\\sub\\s1\\x.txt", "X"}},
     {{u"s1", "append data\\text\\names.txt with x.txt\r\n"},
      {u"s2", "replace data\\text\\names.txt with x.txt on:\r\nB\r\n"}}},
    {"translation, then blocks on its keys",
     {{u"text\\names.txt", "{A} one\r\n{B} two\r\n"}, {u"campaign\\sub\\s1\\names.txt",
                                                    "{B} zwei\r\n"},
      {u"campaign\\sub\\s2\\x.txt", "{C} new\r\n"}},
     {{u"s1", "translate data\\text\\names.txt\r\n"},
      {u"s2", "append data\\text\\names.txt with x.txt after:\r\n{B} zwei\r\n"}}},
};

struct Outcome {
    Files files;
    std::vector<std::u16string> errors;
    std::size_t temporaryFiles = 0;
    long operations = 0;
    bool operator==(const Outcome& other) const {
        return files == other.files && errors == other.errors &&
               temporaryFiles == other.temporaryFiles;
    }
};

void writeGame(const Case& c) {
    makeFolders(u"data\\campaign\\backup");
    for (const auto& [path, bytes] : c.files) {
        writeFile(u"data\\" + path, bytes);
    }
    for (const auto& [name, section] : c.scripts) {
        writeFile(u"data\\campaign\\sub\\" + name + u".txt", "[files]\r\n" + section);
    }
}

// The scripts in order, on one set of open texts written at the end as a campaign run does
// (`bound` its memory bound), or each script on its own, written when it is done.
void runScripts(const Case& c, OpenTexts* texts, ErrorRecorder& errors) {
    TouchedFileList touched;
    PatchContext context{errors.sink(), &touched, texts};
    for (const auto& [name, section] : c.scripts) {
        runPatchScript({name, u"data\\campaign\\sub\\" + name + u".txt", name + u".txt"}, context);
    }
    if (texts != nullptr) {
        writeOpenTexts(*texts, context.errors);
    }
}

Outcome outcome(const Case& c, bool shared, std::size_t bound = std::size_t{256} << 20) {
    ScratchFolder scratch;
    writeGame(c);
    ErrorRecorder errors;
    OpenTexts texts;
    texts.memoryBound = bound;
    platform::setFaultPlan({});
    runScripts(c, shared ? &texts : nullptr, errors);
    return {snapshot(u"data"), errors.texts, temporaryFilesLeft(),
            platform::fileOperationCount()};
}

TEST(OpenTexts, ScriptsOfARunEndAsIfEachWroteItsFilesAtOnce) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome each = outcome(c, false);
        EXPECT_EQ(each.temporaryFiles, 0u);
        EXPECT_TRUE(outcome(c, true) == each);
        // Held text past the bound goes to temporary files, and comes back unchanged.
        EXPECT_TRUE(outcome(c, true, 1) == each);
    }
}

TEST(OpenTexts, AFileIsReadAndWrittenOnceHoweverManyBlocksChangeIt) {
    const auto operations = [](int blocks) {
        std::string section;
        for (int i = 0; i < blocks; ++i) {
            section += "append data\\text\\names.txt with x.txt after:\r\nA\r\n<end>\r\n"
                       "replace data\\text\\names.txt with x.txt on:\r\nX\r\n<end>\r\n"
                       "append data\\text\\names.txt with x.txt\r\n";
        }
        const Case c{"", {{u"text\\names.txt", "A\r\nB\r\n"}, {u"campaign\\sub\\s\\x.txt", "X"}},
                     {{u"s", section}}};
        return outcome(c, true).operations;
    };
    EXPECT_EQ(operations(10), operations(1));
}

TEST(OpenTexts, ARunStoppedAnywhereLeavesEachFileAsItWasOrFullyChanged) {
    const Case& c = cases[0];
    const Outcome done = outcome(c, true);
    for (long n = 1; n <= done.operations; ++n) {
        SCOPED_TRACE("stop after operation " + std::to_string(n));
        ScratchFolder scratch;
        writeGame(c);
        const Files before = snapshot(u"data");
        ErrorRecorder errors;
        OpenTexts texts;
        platform::setFaultPlan({.stopAfter = n});
        runScripts(c, &texts, errors);
        platform::setFaultPlan({});
        for (const auto& [path, bytes] : snapshot(u"data")) {
            if (path.starts_with(u"campaign\\backup\\")) {
                continue;
            }
            const auto isIn = [&](const Files& files) {
                for (const auto& file : files) {
                    if (file.first == path && file.second == bytes) {
                        return true;
                    }
                }
                return false;
            };
            EXPECT_TRUE(isIn(before) || isIn(done.files)) << utf8(path);
        }
    }
}

} // namespace
