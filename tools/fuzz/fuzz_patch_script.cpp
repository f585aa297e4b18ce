// Runs a fuzzed script descriptor over a small game folder of real files, first as the
// authors' check runs it (on texts that never write: the folder must stay exactly as it
// was), then as a campaign run does: nothing may appear beside it, no temporary file stay,
// no message outgrow its box, no game text file go.
// Input: the descriptor, optionally a zero byte and data\text\names.txt; a first byte 0x01
// and a number N make the Nth file operation fail.
#include "patch/open_texts.h"
#include "patch/run_patch_script.h"
#include "platform/file_system.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

namespace fs = std::filesystem;

static void check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::string root; // the session's scratch folder, made for the first input
    if (root.empty()) {
        root = (fs::temp_directory_path() / "dravik-fuzz-XXXXXX").string();
        check(::mkdtemp(root.data()) != nullptr);
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(root, ignored);
        });
    }
    std::string_view input(reinterpret_cast<const char*>(data), size);
    long failOperation = 0;
    if (input.size() >= 2 && input[0] == '\x01') {
        failOperation = static_cast<unsigned char>(input[1]);
        input.remove_prefix(2);
    }
    const std::size_t split = input.find('\0');
    const fs::path game = fs::path(root) / "game";
    fs::remove_all(game);
    const std::pair<const char*, std::string_view> files[] = {
        {"data/text/names.txt", split == std::string_view::npos
                                    ? "{A} one\r\n{B} two\r\n{C} three\r\n"
                                    : input.substr(split + 1)},
        {"data/text/wide.txt", {"\xFF\xFE{\0A\0}\0x\0\r\0\n\0", 14}},
        {"data/campaign/sub/mod/x.txt", "{B} new\r\n"},
        {"data/campaign/sub/mod/names.txt", "{A} un\r\n"},
        {"data/campaign/sub/mod/w.txt", {"\xFF\xFE{\0A\0}\0y\0", 10}},
        {"data/campaign/sub/mod.txt", input.substr(0, split)}};
    for (const auto& [path, bytes] : files) {
        fs::create_directories((game / path).parent_path());
        check(platform::writeWholeFile((game / path).u16string(), bytes));
    }
    fs::create_directories(game / "data/campaign/backup");

    // Every file of the folder with its bytes.
    const auto contents = [&game] {
        std::map<fs::path, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(game)) {
            std::string bytes;
            platform::readWholeFile(entry.path().u16string(), bytes);
            files.emplace(entry.path(), std::move(bytes));
        }
        return files;
    };
    const auto before = contents();

    bool messageTooLong = false;
    TouchedFileList touched;
    PatchContext context{ErrorSink{[&](const std::u16string& text) {
                             messageTooLong |= text.size() >= errorMessageCapacity;
                         }},
                         &touched};
    const fs::path start = fs::current_path(); // libFuzzer reads its corpus relative to it
    fs::current_path(game);
    {
        OpenTexts texts;
        texts.writes = false;
        TouchedFileList checked;
        PatchContext check = context;
        check.touchedFiles = &checked;
        check.texts = &texts;
        check.atBlock = [](long line) { ::check(line > 0); };
        runPatchScript({u"mod", u"data\\campaign\\sub\\mod.txt", u"mod.txt"}, check);
        takeChangedTexts(texts);
    }
    fs::current_path(start);
    check(contents() == before);
    fs::current_path(game);
    platform::setFaultPlan({.failOperation = failOperation});
    runPatchScript({u"mod", u"data\\campaign\\sub\\mod.txt", u"mod.txt"}, context);
    platform::setFaultPlan({});
    fs::current_path(start);

    check(!messageTooLong);
    check(std::distance(fs::directory_iterator(root), fs::directory_iterator()) == 1);
    // A temporary file stays only when the one failing operation was its deletion.
    for (const auto& entry : fs::recursive_directory_iterator(game)) {
        check(failOperation != 0 ||
              !platform::isTemporaryFileName(entry.path().filename().u16string()));
    }
    // The fixed sources never make a block remove a game file.
    check(fs::exists(game / "data/text/names.txt") && fs::exists(game / "data/text/wide.txt"));
    return 0;
}
