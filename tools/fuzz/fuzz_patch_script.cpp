// Runs a fuzzed script descriptor over a small game folder with real files, then checks
// that nothing appeared beside the game folder, that no temporary file was left in it,
// that every message fits its box and that the game's text files are still there.
//
// Input: the descriptor, optionally followed by a zero byte and the content of
// data\text\names.txt. A first byte 0x01 followed by a number N makes the Nth file
// operation fail.
#include "patch/run_patch_script.h"
#include "platform/file_system.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

fs::path root; // the session's scratch folder, made for the first input

void check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

void write(const fs::path& path, std::string_view bytes) {
    fs::create_directories(path.parent_path());
    check(platform::writeWholeFile(path.u16string(), bytes));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (root.empty()) {
        std::string name = (fs::temp_directory_path() / "dravik-fuzz-XXXXXX").string();
        check(::mkdtemp(name.data()) != nullptr);
        root = name;
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
    const fs::path game = root / "game";
    fs::remove_all(game);
    write(game / "data/text/names.txt", split == std::string_view::npos
                                            ? "{A} one\r\n{B} two\r\n{C} three\r\n"
                                            : input.substr(split + 1));
    write(game / "data/text/wide.txt", std::string("\xFF\xFE{\0A\0}\0x\0\r\0\n\0", 14));
    write(game / "data/campaign/sub/mod/x.txt", "{B} new\r\n");
    write(game / "data/campaign/sub/mod/names.txt", "{A} un\r\n");
    write(game / "data/campaign/sub/mod/w.txt", std::string("\xFF\xFE{\0A\0}\0y\0", 10));
    write(game / "data/campaign/sub/mod.txt", input.substr(0, split));
    fs::create_directories(game / "data/campaign/backup");

    bool messageTooLong = false;
    TouchedFileList touched;
    PatchContext context{ErrorSink{[&](const std::u16string& text) {
                             messageTooLong |= text.size() >= errorMessageCapacity;
                         }},
                         &touched};
    const fs::path start = fs::current_path(); // libFuzzer reads its corpus relative to it
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
