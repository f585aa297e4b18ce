// Runs a fuzzed script descriptor over a small game folder: the block reader and every
// block it hands on, with real files. Checks after each run that no file appeared outside
// the game folder, that no temporary file was left behind, that every message fits its
// box, and that the game text files are still there.
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
#include <string_view>
#include <system_error>

namespace {

namespace fs = std::filesystem;

fs::path root;
fs::path startFolder; // libFuzzer reads its corpus relative to it

void setUp() {
    if (!root.empty()) {
        return;
    }
    startFolder = fs::current_path();
    std::string templ = (fs::temp_directory_path() / "dravik-fuzz-XXXXXX").string();
    if (::mkdtemp(templ.data()) == nullptr) {
        std::abort();
    }
    root = templ;
    std::atexit([] {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    });
}

void write(const fs::path& path, std::string_view bytes) {
    fs::create_directories(path.parent_path());
    if (!platform::writeWholeFile(path.u16string(), bytes)) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    setUp();
    std::string_view input(reinterpret_cast<const char*>(data), size);
    long failOperation = 0;
    if (input.size() >= 2 && input[0] == '\x01') {
        failOperation = static_cast<unsigned char>(input[1]);
        input.remove_prefix(2);
    }
    const std::size_t split = input.find('\0');
    const std::string_view descriptor = input.substr(0, split);
    const std::string names = split == std::string_view::npos
                                  ? std::string("{A} one\r\n{B} two\r\n{C} three\r\n")
                                  : std::string(input.substr(split + 1));

    std::error_code ignored;
    platform::setFaultPlan({});
    fs::current_path(root);
    fs::remove_all(root / "game", ignored);
    const fs::path game = root / "game";
    write(game / "data/text/names.txt", names);
    write(game / "data/text/wide.txt", std::string("\xFF\xFE{\0A\0}\0x\0\r\0\n\0", 14));
    write(game / "data/campaign/sub/mod/x.txt", "{B} new\r\n");
    write(game / "data/campaign/sub/mod/names.txt", "{A} un\r\n");
    write(game / "data/campaign/sub/mod/w.txt", std::string("\xFF\xFE{\0A\0}\0y\0", 10));
    write(game / "data/campaign/sub/mod.txt", descriptor);
    fs::create_directories(game / "data/campaign/backup");
    fs::current_path(game);

    bool messageTooLong = false;
    TouchedFileList touched = createTouchedFileList();
    PatchContext context{ErrorSink{[&](const std::u16string& text) {
                             messageTooLong |= text.size() >= errorMessageCapacity;
                         }},
                         &touched};
    platform::setFaultPlan({.failOperation = failOperation});
    runPatchScript({u"mod", u"data\\campaign\\sub\\mod.txt", u"mod.txt"}, context);
    platform::setFaultPlan({});
    fs::current_path(startFolder);

    if (messageTooLong) {
        std::abort();
    }
    // Nothing beside the game folder, and no temporary file left in it (unless the one
    // failing operation was the deletion of one).
    for (const auto& entry : fs::directory_iterator(root)) {
        if (entry.path().filename() != "game") {
            std::abort();
        }
    }
    if (failOperation == 0) {
        for (const auto& entry : fs::directory_iterator(game)) {
            if (entry.path().extension() == ".tmp") {
                std::abort();
            }
        }
    }
    if (!fs::exists(game / "data/text/names.txt") || !fs::exists(game / "data/text/wide.txt")) {
        // A game file may only disappear by a script's own overwrite of it, which the
        // scratch folder's fixed sources never cause.
        std::abort();
    }
    return 0;
}
