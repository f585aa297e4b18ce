// Times campaign runs on a large generated game folder, each against a baseline measured in
// the same run, and prints every run, the medians and the ratios:
//  - switching to a campaign of many files (every one replacing a game file) and back,
//    through the real campaign run, against the least its file operations cost: a plain
//    program that moves each game file into a kept tree, copies each campaign file in its
//    place and moves each kept file back, creating each folder once (its "floor"); for
//    information also against a plain copy of the campaign's files (cp -r);
//  - choosing the installed campaign again with one script changed, against a first install
//    of the same campaign.
// Builds natively and for Windows (run it under Wine there). Generated data is deleted at the
// end.
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

#ifndef _WIN32
#include <unistd.h>
#endif

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
    const int leaf = i / 10;
    std::string path;
    path.append("d").append(std::to_string(leaf % 10));
    path.append("/e").append(std::to_string(leaf / 10 % 10));
    path.append("/f").append(std::to_string(leaf / 100));
    path.append("/file").append(std::to_string(i)).append(".dat");
    return path;
}

std::u16string layerPath(const std::string& path) {
    std::u16string out(path.begin(), path.end()); // the generated names are ASCII
    std::replace(out.begin(), out.end(), u'/', u'\\');
    return out;
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

void writeText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// A game with `files` data files and two campaigns: "big" replaces every one of them,
// "small" only has its descriptor; "small" is installed. Two scripts change a game text
// file. The campaign's files get a time long past, as files unpacked from a download have.
void generate(const Settings& settings, std::uintmax_t& campaignBytes) {
    const fs::path game = settings.work / "game";
    const std::size_t average = static_cast<std::size_t>(settings.megabytes) * 1000 * 1000 /
                                static_cast<std::size_t>(settings.files);
    campaignBytes = 0;
    const std::int64_t longAgo = platform::currentFileTime() - 86400 * platform::fileTimeSecond;
    for (int i = 0; i < settings.files; ++i) {
        // Sizes from half to one and a half times the average.
        const std::size_t size = average / 2 + (static_cast<std::size_t>(i) * 7919 % average);
        writeBytes(game / "data" / relativePath(i), size, static_cast<std::uint64_t>(i));
        const fs::path campaignFile = game / "data/campaign/big" / relativePath(i);
        writeBytes(campaignFile, size, 1000000u + i);
        platform::setLastWriteTime(layerPath(campaignFile.string()), longAgo);
        campaignBytes += size;
    }
    writeText(game / "data/campaign/big/campaign.txt", "[name] Big\r\n");
    writeText(game / "data/campaign/small/campaign.txt", "[name] Small\r\n");
    writeText(game / "data/campaign/recent.txt",
              "[campaign] small\r\n[scripts] \r\n[translation] none\r\n");
    std::string names;
    for (int i = 0; i < 2000; ++i) {
        names += "{NAME_" + std::to_string(i) + "}Name number " + std::to_string(i) + "\r\n";
    }
    writeText(game / "data/text/names.txt", names);
    writeText(game / "data/campaign/sub/s1.txt",
              "[name]\r\nS1\r\n[files]\r\nappend data\\text\\names.txt with add.txt\r\n");
    writeText(game / "data/campaign/sub/s2.txt",
              "[name]\r\nS2\r\n[files]\r\nappend data\\text\\names.txt with add.txt after:\r\n"
              "{NAME_1000}Name number 1000\r\n");
    writeText(game / "data/campaign/sub/s1/add.txt", "{ADDED}by s1\r\n");
    writeText(game / "data/campaign/sub/s2/add.txt", "{ADDED}by s2\r\n");
    fs::create_directories(game / "data/campaign/backup");
    fs::create_directories(game / "saves");
    writeText(game / "saves/small-1.sav", "small");
}

// What earlier steps wrote is flushed to the disk before each measurement, so that no step
// is charged for another's writes. With `flushed`, the measurement also ends with a flush
// and includes writing the step's own data to the disk; without, it ends when the work
// returns, as the player sees it.
using Clock = std::chrono::steady_clock;
bool flushAtEnd = false;
void flush() {
#ifndef _WIN32
    ::sync();
#endif
}
Clock::time_point flushedNow() {
    flush();
    return Clock::now();
}
double secondsSince(Clock::time_point start) {
    if (flushAtEnd) {
        flush();
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// cp -r: every campaign file copied once to a fresh tree.
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
    return secondsSince(start);
}

// The floor of a switch, with the file layer's own operations (the ones the campaign run
// uses), in the game folder: each game file the campaign replaces moved into a kept tree,
// each campaign file copied in its place, each folder of the kept tree made once; and the
// way back: each kept file moved back over the campaign's copy.
struct Floor {
    std::vector<std::u16string> folders; // the kept tree's, parents first
    std::vector<std::u16string> files;   // relative paths below data\ and the campaign
};

Floor floorOf(int files) {
    Floor floor;
    for (int i = 0; i < files; ++i) {
        const std::u16string relative = layerPath(relativePath(i));
        floor.files.push_back(relative);
        for (std::size_t slash = relative.find(u'\\'); slash != std::u16string::npos;
             slash = relative.find(u'\\', slash + 1)) {
            const std::u16string folder = relative.substr(0, slash);
            if (std::find(floor.folders.begin(), floor.folders.end(), folder) ==
                floor.folders.end()) {
                floor.folders.push_back(folder);
            }
        }
    }
    return floor;
}

double floorThereSeconds(const Floor& floor) {
    const auto start = flushedNow();
    platform::createFolder(u"floorkeep");
    for (const auto& folder : floor.folders) {
        platform::createFolder(u"floorkeep\\" + folder);
    }
    for (const auto& file : floor.files) {
        platform::renameFile(u"data\\" + file, u"floorkeep\\" + file);
        platform::copyFile(u"data\\campaign\\big\\" + file, u"data\\" + file, true);
    }
    return secondsSince(start);
}

double floorBackSeconds(const Floor& floor) {
    const auto start = flushedNow();
    for (const auto& file : floor.files) {
        platform::replaceFile(u"floorkeep\\" + file, u"data\\" + file);
    }
    const double seconds = secondsSince(start);
    for (auto folder = floor.folders.rbegin(); folder != floor.folders.rend(); ++folder) {
        platform::removeFolder(u"floorkeep\\" + *folder);
    }
    platform::removeFolder(u"floorkeep");
    return seconds;
}

// A campaign run as the windows drive it: the Script Handler's record steps, the
// confirmation with the named scripts ticked, and the run on this thread.
double campaignRunSeconds(const Catalogue& catalogue, std::u16string_view chosen,
                          const std::vector<std::u16string>& scripts) {
    const auto start = flushedNow();
    AppState app;
    app.catalogue = catalogue;
    app.chosenCampaignFolder = std::u16string(chosen);
    loadRecentSelection(app.setupState);
    takePreviousCampaign(app.setupState);
    std::array<bool, maxScripts> checked{};
    for (const ScriptEntry& script : app.catalogue.scriptList) {
        checked[static_cast<std::size_t>(script.index)] =
            std::find(scripts.begin(), scripts.end(), script.fileName) != scripts.end();
    }
    confirmCampaignChoice(app, checked);
    runCampaignSetup(app);
    return secondsSince(start);
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

const char* verdict(bool met) {
    return met ? "met" : "NOT met";
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
    const Floor floor = floorOf(settings.files);

    const fs::path previous = fs::current_path();
    fs::current_path(game);
    Catalogue catalogue;
    ErrorSink quiet{[](const std::u16string&) {}};
    scanCatalogue(catalogue, quiet);
    fs::current_path(previous);

    std::vector<double> copies, floorThere, floorBack, there, back, installs, reapplies;
    bool identical = true;
    for (int run = 0; run < settings.runs; ++run) {
        // Every other run starts with the campaign run, so neither side always runs first.
        const auto measureFloor = [&] {
            fs::current_path(game);
            floorThere.push_back(floorThereSeconds(floor));
            floorBack.push_back(floorBackSeconds(floor));
            fs::current_path(previous);
        };
        const auto measureRuns = [&] {
            fs::current_path(game);
            there.push_back(campaignRunSeconds(catalogue, u"big", {}));
            back.push_back(campaignRunSeconds(catalogue, u"small", {}));
            installs.push_back(campaignRunSeconds(catalogue, u"big", {u"s1.txt"}));
            reapplies.push_back(campaignRunSeconds(catalogue, u"big", {u"s2.txt"}));
            campaignRunSeconds(catalogue, u"small", {});
            fs::current_path(previous);
        };
        if (run % 2 == 0) {
            measureFloor();
            measureRuns();
        } else {
            measureRuns();
            measureFloor();
        }
        const fs::path copy = settings.work / "copy";
        fs::create_directories(copy);
        copies.push_back(plainCopySeconds(game / "data/campaign/big", copy));
        fs::remove_all(copy);
        identical = identical && sameTree(pristine / "d0", game / "data/d0");
        std::printf("run %d: switch to the campaign %.3f s, back %.3f s; floor %.3f s, back "
                    "%.3f s; cp -r %.3f s; install with a script %.3f s, again with another "
                    "%.3f s\n",
                    run + 1, there.back(), back.back(), floorThere.back(), floorBack.back(),
                    copies.back(), installs.back(), reapplies.back());
        std::fflush(stdout);
    }

    const double switchMedian = median(there) + median(back);
    const double floorMedian = median(floorThere) + median(floorBack);
    std::printf("campaign: %d files, %.1f MB\n", settings.files,
                static_cast<double>(campaignBytes) / 1e6);
    std::printf("median switch to the campaign %.3f s, back %.3f s; its floor %.3f s, back "
                "%.3f s\n",
                median(there), median(back), median(floorThere), median(floorBack));
    std::printf("ratio switch there and back / floor: %.2f (to the campaign %.2f, back %.2f); "
                "target 1.20 or less: %s\n",
                switchMedian / floorMedian, median(there) / median(floorThere),
                median(back) / median(floorBack), verdict(switchMedian <= 1.2 * floorMedian));
    std::printf("for information: median cp -r of the campaign %.3f s; switch there and back "
                "at %.2fx of it, the floor at %.2fx\n",
                median(copies), switchMedian / median(copies), floorMedian / median(copies));
    std::printf("median first install with a script %.3f s, the installed campaign chosen again "
                "with another script %.3f s: ratio %.3f; target 0.10 or less: %s\n",
                median(installs), median(reapplies), median(reapplies) / median(installs),
                verdict(median(reapplies) <= 0.1 * median(installs)));
    std::printf("game files after switching back: %s\n", identical ? "as generated" : "DIFFERENT");

    fs::remove_all(settings.work);
    return identical ? 0 : 1;
}
