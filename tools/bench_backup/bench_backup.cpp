// Times a campaign switch on a large generated campaign (every file replacing a game file)
// and the switch back, against copying the campaign's bytes once with a plain copy, in the
// same run. Prints the median of several runs and the ratio. Generated data is deleted at
// the end.
//
//   bench_backup [--flushed] [work folder] [runs] [files] [megabytes]
#include "app/setup_runs.h"
#include "platform/file_system.h"
#include "recent/setup_state.h"
#include "scripts/script_selection.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Settings {
    fs::path work = fs::current_path() / "bench_backup_data";
    int runs = 9;
    int files = 5000;
    long megabytes = 500;
};

// The relative path of file i: three folder levels, ten files per leaf folder.
std::string relativePath(int i) {
    std::string path;
    path.append("d").append(std::to_string(i % 10));
    path.append("/e").append(std::to_string(i / 10 % 10));
    path.append("/f").append(std::to_string(i / 100));
    path.append("/file").append(std::to_string(i)).append(".dat");
    return path;
}

void writeBytes(const fs::path& path, std::size_t size, std::uint64_t seed) {
    fs::create_directories(path.parent_path());
    std::string bytes(size, '\0');
    std::uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
    for (std::size_t i = 0; i + 8 <= size; i += 8) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        std::memcpy(&bytes[i], &x, 8);
    }
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
}

// A game with `files` data files and two campaigns: "big" replaces every one of them,
// "small" only has its descriptor. "small" is installed, so the first switch goes to "big".
void generate(const Settings& settings, std::uintmax_t& campaignBytes) {
    const fs::path game = settings.work / "game";
    const std::size_t average = static_cast<std::size_t>(settings.megabytes) * 1000 * 1000 /
                                static_cast<std::size_t>(settings.files);
    campaignBytes = 0;
    for (int i = 0; i < settings.files; ++i) {
        // Sizes from half to one and a half times the average.
        const std::size_t size = average / 2 + (static_cast<std::size_t>(i) * 7919 % average);
        writeBytes(game / "data" / relativePath(i), size, static_cast<std::uint64_t>(i));
        writeBytes(game / "data/campaign/big" / relativePath(i), size, 1000000u + i);
        campaignBytes += size;
    }
    std::ofstream(game / "data/campaign/big/campaign.txt") << "[name] Big\r\n";
    std::ofstream(game / "data/campaign/small/campaign.txt") << "[name] Small\r\n";
    std::ofstream(game / "data/campaign/recent.txt")
        << "[campaign] small\r\n[scripts] \r\n[translation] none\r\n";
    fs::create_directories(game / "data/campaign/backup");
    fs::create_directories(game / "saves");
    std::ofstream(game / "saves/small-1.sav") << "small";
}

// What earlier steps wrote is flushed to the disk before each measurement, so that no step
// is charged for another's writes. With `flushed`, the measurement also ends with a flush
// and includes writing the step's own data to the disk; without, it ends when the work
// returns, as the player sees it.
using Clock = std::chrono::steady_clock;
bool flushAtEnd = false;
Clock::time_point flushedNow() {
    ::sync();
    return Clock::now();
}
Clock::time_point endNow() {
    if (flushAtEnd) {
        ::sync();
    }
    return Clock::now();
}

// The baseline: every campaign file copied once to a fresh tree.
double plainCopySeconds(const fs::path& from, const fs::path& to) {
    const auto start = flushedNow();
    for (const auto& entry : fs::recursive_directory_iterator(from)) {
        const fs::path target = to / fs::relative(entry.path(), from);
        if (entry.is_directory()) {
            fs::create_directory(target);
        } else {
            fs::copy_file(entry.path(), target);
        }
    }
    return std::chrono::duration<double>(endNow() - start).count();
}

std::u16string layerPath(const fs::path& path) {
    const std::string text = path.string();
    return std::u16string(text.begin(), text.end()); // the generated names are ASCII
}

// The same baseline through the file layer's own copy, the one the installation uses.
double layerCopySeconds(const fs::path& from, const fs::path& to) {
    const auto start = flushedNow();
    for (const auto& entry : fs::recursive_directory_iterator(from)) {
        const fs::path target = to / fs::relative(entry.path(), from);
        if (entry.is_directory()) {
            platform::createFolder(layerPath(target));
        } else {
            platform::copyFile(layerPath(entry.path()), layerPath(target), true);
        }
    }
    return std::chrono::duration<double>(endNow() - start).count();
}

// The campaign run itself, as the windows drive it (no scripts): the Script Handler's
// record steps, the confirmation and the run on this thread.
void runCampaign(std::u16string_view chosen) {
    AppState app;
    app.chosenCampaignFolder = std::u16string(chosen);
    loadRecentSelection(app.setupState);
    takePreviousCampaign(app.setupState);
    confirmCampaignChoice(app, {});
    runCampaignSetup(app);
}

double secondsOf(void (*work)(std::u16string_view), std::u16string_view argument) {
    const auto start = flushedNow();
    work(argument);
    return std::chrono::duration<double>(endNow() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

bool sameTree(const fs::path& a, const fs::path& b) {
    for (const auto& entry : fs::recursive_directory_iterator(a)) {
        if (entry.is_directory()) {
            continue;
        }
        std::ifstream x(entry.path(), std::ios::binary),
            y(b / fs::relative(entry.path(), a), std::ios::binary);
        if (!y ||
            !std::equal(std::istreambuf_iterator<char>(x), std::istreambuf_iterator<char>(),
                        std::istreambuf_iterator<char>(y), std::istreambuf_iterator<char>())) {
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Settings settings;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--flushed") {
            flushAtEnd = true;
        } else {
            positional.emplace_back(argv[i]);
        }
    }
    if (!positional.empty()) {
        settings.work = fs::absolute(positional[0]);
    }
    if (positional.size() > 1) {
        settings.runs = std::max(1, std::atoi(positional[1].c_str()));
    }
    if (positional.size() > 2) {
        settings.files = std::max(10, std::atoi(positional[2].c_str()));
    }
    if (positional.size() > 3) {
        settings.megabytes = std::max(1L, std::atol(positional[3].c_str()));
    }
    std::printf("timing %s\n", flushAtEnd
                                   ? "up to the end of writing to the disk (--flushed)"
                                   : "up to the return of the work (each step starts flushed)");

    fs::remove_all(settings.work);
    std::uintmax_t campaignBytes = 0;
    std::printf("generating %d files, %ld MB, twice, in %s\n", settings.files, settings.megabytes,
                settings.work.string().c_str());
    generate(settings, campaignBytes);
    const fs::path game = settings.work / "game";
    const fs::path pristine = settings.work / "pristine";
    fs::create_directories(pristine);
    fs::copy(game / "data/d0", pristine / "d0",
             fs::copy_options::recursive); // to check the way back

    std::vector<double> copies, layerCopies, there, back, switches;
    bool identical = true;
    for (int run = 0; run < settings.runs; ++run) {
        // Every other run starts with the switch, so neither side always runs first.
        const auto copyBoth = [&] {
            const fs::path copy = settings.work / "copy";
            fs::create_directories(copy);
            copies.push_back(plainCopySeconds(game / "data/campaign/big", copy));
            fs::remove_all(copy);
            fs::create_directories(copy);
            layerCopies.push_back(layerCopySeconds(game / "data/campaign/big", copy));
            fs::remove_all(copy);
        };
        const auto switchThereAndBack = [&] {
            const fs::path previous = fs::current_path();
            fs::current_path(game);
            there.push_back(secondsOf(runCampaign, u"big"));
            back.push_back(secondsOf(runCampaign, u"small"));
            fs::current_path(previous);
        };
        if (run % 2 == 0) {
            copyBoth();
            switchThereAndBack();
        } else {
            switchThereAndBack();
            copyBoth();
        }
        switches.push_back(there.back() + back.back());
        identical = identical && sameTree(pristine / "d0", game / "data/d0");
        std::printf("run %d: plain copy %.3f s (file layer's copy %.3f s), switch to the campaign "
                    "%.3f s, back %.3f s\n",
                    run + 1, copies.back(), layerCopies.back(), there.back(), back.back());
    }

    const double copyMedian = median(copies);
    const double switchMedian = median(switches);
    std::printf("campaign: %d files, %.1f MB\n", settings.files,
                static_cast<double>(campaignBytes) / 1e6);
    const double layerCopyMedian = median(layerCopies);
    std::printf("median plain copy of the campaign's bytes: %.3f s (std::filesystem::copy_file), "
                "%.3f s (the file layer's copyFile)\n",
                copyMedian, layerCopyMedian);
    std::printf("median switch to the campaign: %.3f s, back: %.3f s, both: %.3f s\n",
                median(there), median(back), switchMedian);
    std::printf(
        "ratio switch (there and back) / plain copy: %.2f against std::filesystem::copy_file, "
        "%.2f against the file layer's copyFile (target 1.20 or less)\n",
        switchMedian / copyMedian, switchMedian / layerCopyMedian);
    std::printf("ratio switch to the campaign alone / plain copy: %.2f, %.2f\n",
                median(there) / copyMedian, median(there) / layerCopyMedian);
    std::printf("game files after switching back: %s\n", identical ? "as generated" : "DIFFERENT");

    fs::remove_all(settings.work);
    return identical ? 0 : 1;
}
