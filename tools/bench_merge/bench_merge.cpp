// Measures the keyed text merge on a game-sized UTF-16 text file:
//  - against reading both files and writing the destination's bytes once (the least any
//    merge must do), on the full size;
//  - against the plain search rule, on a size where the plain rule finishes;
//  - peak memory of one merge, in a fresh process of its own.
// Prints medians and ratios. Usage: bench_merge [entries] [plain-entries] [repeats]
#include "patch/merge_by_search_rule.h"
#include "patch/merge_keyed_text.h"
#include "platform/file_system.h"
#include "platform/text_file.h"
#include "platform/unicode.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using platform::TextEncoding;

struct Files {
    std::u16string game;
    std::u16string translation;
    std::size_t bytes = 0; // both together
};

std::u16string word(std::mt19937& rng) {
    static const char16_t* const words[] = {u"sword",   u"river",         u"the",  u"of",
                                            u"ancient", u"king",          u"gold", u"a",
                                            u"storm",   u"\u00e9t\u00e9", u"road", u"shield"};
    return words[rng() % std::size(words)];
}

std::u16string textOfAbout(std::mt19937& rng, std::size_t length) {
    std::u16string text;
    while (text.size() < length) {
        text += word(rng);
        text += u' ';
    }
    text.back() = u'\n';
    return text;
}

// `entries` keyed entries of about 62 characters (5 MB of UTF-16 for 40,000), and a
// translation of 90% of the keys in shuffled order.
Files makeFiles(const std::u16string& folder, std::size_t entries, unsigned seed) {
    std::mt19937 rng(seed);
    std::u16string game = u"// game text\n";
    std::vector<std::u16string> keys;
    for (std::size_t i = 0; i < entries; ++i) {
        std::u16string key = u"{TXT_" + platform::utf8ToUtf16(std::to_string(100000 + i)) + u"_N}";
        game += key + textOfAbout(rng, 44);
        if (i % 50 == 0) {
            game += u"// a comment line\n";
        }
        keys.push_back(std::move(key));
    }
    std::shuffle(keys.begin(), keys.end(), rng);
    keys.resize(entries * 9 / 10);
    std::u16string translation;
    for (const auto& key : keys) {
        translation += key + textOfAbout(rng, 48);
    }
    Files files{folder + u"\\game.txt", folder + u"\\translation.txt", 0};
    const std::string gameBytes = "\xFF\xFE" + platform::encodeText(game, TextEncoding::Utf16);
    const std::string translationBytes =
        "\xFF\xFE" + platform::encodeText(translation, TextEncoding::Utf16);
    files.bytes = gameBytes.size() + translationBytes.size();
    if (!platform::writeWholeFile(files.game, gameBytes) ||
        !platform::writeWholeFile(files.translation, translationBytes)) {
        std::fprintf(stderr, "cannot write the test files\n");
        std::exit(1);
    }
    return files;
}

bool mergeFiles(const std::u16string& game, const std::u16string& translation,
                const std::u16string& out, bool plain) {
    platform::TextInput destination;
    platform::TextInput source;
    if (!platform::openTextInput(game, TextEncoding::Utf16, destination) ||
        !platform::openTextInput(translation, TextEncoding::Utf16, source)) {
        return false;
    }
    platform::TextOutput output = platform::createTextOutput(out, TextEncoding::Utf16);
    if (plain) {
        search_rule::merge(destination, source, output);
    } else {
        mergeKeyedText(destination, source, output, 4000);
    }
    return platform::closeTextOutput(output);
}

bool readAndWrite(const std::u16string& game, const std::u16string& translation,
                  const std::u16string& out) {
    std::string gameBytes;
    std::string translationBytes;
    return platform::readWholeFile(game, gameBytes) &&
           platform::readWholeFile(translation, translationBytes) &&
           platform::writeWholeFile(out, gameBytes);
}

// The same through the text layer: both files decoded, the destination's text encoded and
// written, as every merge must.
bool readAndWriteText(const std::u16string& game, const std::u16string& translation,
                      const std::u16string& out) {
    platform::TextInput destination;
    platform::TextInput source;
    if (!platform::openTextInput(game, TextEncoding::Utf16, destination) ||
        !platform::openTextInput(translation, TextEncoding::Utf16, source)) {
        return false;
    }
    platform::TextOutput output = platform::createTextOutput(out, TextEncoding::Utf16);
    platform::writeText(output, destination.text);
    return platform::closeTextOutput(output);
}

double secondsOf(const std::function<bool()>& run) {
    const auto start = std::chrono::steady_clock::now();
    if (!run()) {
        std::fprintf(stderr, "a run failed\n");
        std::exit(1);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Median times of several runs, taken in turns (one of each per round) so that a busy
// machine slows all of them alike and the ratios stay meaningful.
std::vector<double> medianSecondsInTurns(int repeats,
                                         const std::vector<std::function<bool()>>& runs) {
    std::vector<std::vector<double>> times(runs.size());
    for (int i = 0; i < repeats; ++i) {
        for (std::size_t r = 0; r < runs.size(); ++r) {
            times[r].push_back(secondsOf(runs[r]));
        }
    }
    std::vector<double> medians;
    for (auto& each : times) {
        medians.push_back(median(each));
    }
    return medians;
}

// Peak resident memory of this process so far, in bytes (the high-water mark of its own
// address space: unlike getrusage after fork and exec, it does not count the parent's pages).
long ownPeakMemory() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) {
        return -1;
    }
    char line[256];
    long kilobytes = -1;
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::sscanf(line, "VmHWM: %ld kB", &kilobytes) == 1) {
            break;
        }
    }
    std::fclose(status);
    return kilobytes * 1024L;
}

// Peak resident memory, in bytes, of this program run afresh with `mode` on the files.
long peakMemoryOf(const char* self, const char* mode, const Files& files,
                  const std::u16string& out) {
    const std::string command =
        std::string("'") + self + "' " + mode + " '" + platform::utf16ToUtf8(files.game) + "' '" +
        platform::utf16ToUtf8(files.translation) + "' '" + platform::utf16ToUtf8(out) + "'";
    std::FILE* child = ::popen(command.c_str(), "r");
    long peak = -1;
    if (child == nullptr || std::fscanf(child, "%ld", &peak) != 1 || ::pclose(child) != 0) {
        std::fprintf(stderr, "the measuring process failed\n");
        std::exit(1);
    }
    return peak;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5) {
        const std::string mode = argv[1];
        const auto game = platform::utf8ToUtf16(argv[2]);
        const auto translation = platform::utf8ToUtf16(argv[3]);
        const auto out = platform::utf8ToUtf16(argv[4]);
        bool done = false;
        if (mode == "--merge-once") {
            done = mergeFiles(game, translation, out, false);
        } else if (mode == "--copy-once") {
            done = readAndWrite(game, translation, out);
        }
        std::printf("%ld\n", ownPeakMemory());
        return done ? 0 : 1;
    }
    const std::size_t entries = argc > 1 ? std::stoul(argv[1]) : 40000;
    const std::size_t plainEntries = argc > 2 ? std::stoul(argv[2]) : 3000;
    const int repeats = argc > 3 ? std::stoi(argv[3]) : 9;

    std::string folderTemplate = "/tmp/dravik-bench-XXXXXX";
    if (::mkdtemp(folderTemplate.data()) == nullptr) {
        return 1;
    }
    const std::u16string folder = platform::utf8ToUtf16(folderTemplate);
    const std::u16string out = folder + u"\\out.txt";

    const Files full = makeFiles(folder, entries, 1);
    std::printf("game file %zu entries, translation %zu entries, %.2f MB together\n", entries,
                entries * 9 / 10, static_cast<double>(full.bytes) / 1e6);
    // The merge alone, on texts already in memory, to show where the time goes.
    platform::TextInput gameText;
    platform::TextInput translationText;
    platform::openTextInput(full.game, TextEncoding::Utf16, gameText);
    platform::openTextInput(full.translation, TextEncoding::Utf16, translationText);
    const auto medians = medianSecondsInTurns(
        repeats, {[&] { return readAndWrite(full.game, full.translation, out); },
                  [&] { return readAndWriteText(full.game, full.translation, out); },
                  [&] { return mergeFiles(full.game, full.translation, out, false); },
                  [&] {
                      gameText.position = 0;
                      translationText.position = 0;
                      platform::TextOutput memory;
                      memory.encoding = TextEncoding::Utf16;
                      mergeKeyedText(gameText, translationText, memory, 4000);
                      return !memory.bytes.empty();
                  }});
    const double copy = medians[0];
    const double copyText = medians[1];
    const double indexed = medians[2];
    std::printf("read + write once, bytes        median %8.2f ms\n", copy * 1e3);
    std::printf("read + write once, as text      median %8.2f ms\n", copyText * 1e3);
    std::printf("indexed merge                   median %8.2f ms\n", indexed * 1e3);
    std::printf("  of which merging in memory    median %8.2f ms\n", medians[3] * 1e3);
    std::printf("ratio to read + write as text   %.2f (target <= 3)\n", indexed / copyText);
    std::printf("ratio to read + write as bytes  %.2f\n", indexed / copy);

    const long mergePeak = peakMemoryOf(argv[0], "--merge-once", full, out);
    const long copyPeak = peakMemoryOf(argv[0], "--copy-once", full, out);
    const double bound = 4.0 * static_cast<double>(full.bytes) + 32.0 * 1024 * 1024;
    std::printf("peak memory: merge %.1f MB, read + write %.1f MB; bound 4 x files + 32 MB = "
                "%.1f MB (merge at %.0f%% of it)\n",
                static_cast<double>(mergePeak) / 1048576.0,
                static_cast<double>(copyPeak) / 1048576.0, bound / 1048576.0,
                100.0 * static_cast<double>(mergePeak) / bound);

    const Files small = makeFiles(folder, plainEntries, 2);
    const int plainRepeats = std::max(1, repeats / 3);
    const auto smallMedians = medianSecondsInTurns(
        plainRepeats, {[&] { return mergeFiles(small.game, small.translation, out, true); },
                       [&] { return mergeFiles(small.game, small.translation, out, false); }});
    const double plainSmall = smallMedians[0];
    const double indexedSmall = smallMedians[1];
    std::printf("%zu entries: search rule median %.2f ms, indexed median %.2f ms, speed-up %.0fx\n",
                plainEntries, plainSmall * 1e3, indexedSmall * 1e3, plainSmall / indexedSmall);

    // The two merges must agree on the small files.
    mergeFiles(small.game, small.translation, out, true);
    std::string plainBytes;
    platform::readWholeFile(out, plainBytes);
    mergeFiles(small.game, small.translation, out, false);
    std::string indexedBytes;
    platform::readWholeFile(out, indexedBytes);
    std::printf("outputs equal: %s\n", plainBytes == indexedBytes ? "yes" : "NO");

    for (const auto& path : {full.game, full.translation, out}) {
        platform::deleteFile(path);
    }
    platform::removeFolder(folder);
    return plainBytes == indexedBytes ? 0 : 1;
}
