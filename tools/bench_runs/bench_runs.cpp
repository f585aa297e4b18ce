// Times the translation run and the campaign run on generated game folders, each against
// reading and writing the same bytes once in the same process, and reports the peak memory
// of each phase. Not a test: it prints figures.
//
//   bench_runs [translation|campaign] [--repeat N]
#include "app/setup_runs.h"
#include "check.h"
#include "platform/file_system.h"
#include "platform/text_file.h"
#include "platform/unicode.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::u16string u16(const std::string& text) {
    return platform::utf8ToUtf16(text);
}

std::string number(int value, int width) {
    std::string digits = std::to_string(value);
    return std::string(
               static_cast<std::size_t>(std::max(0, width - static_cast<int>(digits.size()))),
               '0') +
           digits;
}

void makeFolders(const std::u16string& path) {
    for (std::size_t slash = path.find(u'\\'); slash != std::u16string::npos;
         slash = path.find(u'\\', slash + 1)) {
        platform::createFolder(path.substr(0, slash));
    }
    platform::createFolder(path);
}

void writeText(const std::u16string& path, const std::u16string& text,
               platform::TextEncoding encoding) {
    const std::size_t slash = path.rfind(u'\\');
    if (slash != std::u16string::npos) {
        makeFolders(path.substr(0, slash));
    }
    platform::TextOutput output = platform::createTextOutput(path, encoding);
    platform::writeText(output, text);
    if (!platform::closeTextOutput(output)) {
        std::fprintf(stderr, "cannot write %s\n", platform::utf16ToUtf8(path).c_str());
        std::exit(1);
    }
}

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

long peakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::size_t folderBytes(const std::u16string& pattern) {
    std::vector<platform::FolderEntry> entries;
    platform::listFolder(pattern, entries);
    std::size_t total = 0;
    const std::u16string folder = pattern.substr(0, pattern.rfind(u'\\') + 1);
    for (const auto& entry : entries) {
        std::string bytes;
        platform::readWholeFile(folder + entry.name, bytes);
        total += bytes.size();
    }
    return total;
}

// A measurement printed beside the baseline for information, with its own ratio.
struct Reference {
    const char* name = nullptr;
    std::function<void()> work;
};

// Runs `work` (the measured run), `baseline` and the optional reference in turn, `repeat`
// times each, after `prepare`; prints each round, the medians and the ratio.
void measure(const char* what, int repeat, const std::function<void()>& prepare,
             const std::function<void()>& work, const std::function<void()>& baseline,
             double target, const Reference& reference = {}) {
    std::vector<double> runs, bases, references;
    for (int i = 0; i < repeat; ++i) {
        prepare();
        auto start = Clock::now();
        work();
        runs.push_back(seconds(Clock::now() - start));
        start = Clock::now();
        baseline();
        bases.push_back(seconds(Clock::now() - start));
        std::printf("  %s #%d: run %.3f s, read+write once %.3f s", what, i + 1, runs.back(),
                    bases.back());
        if (reference.work) {
            start = Clock::now();
            reference.work();
            references.push_back(seconds(Clock::now() - start));
            std::printf(", %s %.3f s", reference.name, references.back());
        }
        std::printf("\n");
    }
    const double ratio = median(runs) / median(bases);
    std::printf("%s: median run %.3f s, median read+write once %.3f s, ratio %.2f", what,
                median(runs), median(bases), ratio);
    if (target > 0) {
        std::printf(" (target: within %.0fx: %s)", target, ratio <= target ? "met" : "NOT met");
    }
    if (reference.work) {
        std::printf("\n%s: for information: median %s %.3f s, run at %.2fx of it", what,
                    reference.name, median(references), median(runs) / median(references));
    }
    std::printf("\n%s: peak memory of this phase %.1f MB\n", what, peakKilobytes() / 1024.0);
}

void startApp(AppState& app, std::vector<std::u16string>& errors) {
    app.errors.show = [&errors](const std::u16string& text) { errors.push_back(text); };
    if (!scanCatalogue(app.catalogue, app.errors)) {
        std::fprintf(stderr, "the generated game folder was refused\n");
        std::exit(1);
    }
    loadRecentSelection(app.setupState);
}

// ---- translation run: 30 UTF-16 files, 20 MB in all; the pack has 90% of the keys,
// shuffled, with other texts.
void translationPhase(int repeat) {
    constexpr int files = 30;
    constexpr std::size_t totalBytes = 20u << 20;
    std::mt19937 random(42);
    std::size_t written = 0;
    for (int f = 0; f < files; ++f) {
        std::u16string game, pack;
        std::vector<std::u16string> entries;
        for (int i = 0; written + game.size() * 2 < totalBytes / files * (f + 1); ++i) {
            const std::u16string key = u16("{TEXT_" + number(f, 2) + "_" + number(i, 6) + "}");
            game += key + u16("Original text of entry " + std::to_string(i) + " in file " +
                              std::to_string(f) + ", long enough to look like game text.\n");
            if (random() % 10 != 0) {
                entries.push_back(key + u16("\u00DCbersetzter Text des Eintrags " +
                                            std::to_string(i) + " \u2014 neu.\n"));
            }
        }
        std::shuffle(entries.begin(), entries.end(), random);
        for (const auto& entry : entries) {
            pack += entry;
        }
        written += game.size() * 2;
        const std::u16string name = u16("strings" + number(f, 2) + ".txt");
        writeText(u"pristine\\" + name, game, platform::TextEncoding::Utf16);
        writeText(u"data\\campaign\\translation\\bench\\" + name, pack,
                  platform::TextEncoding::Utf16);
    }
    writeText(u"data\\campaign\\translation\\bench.txt", u"[name]\nBench pack\n",
              platform::TextEncoding::Bytes8);
    makeFolders(u"data\\text");
    makeFolders(u"baseline");
    std::printf("translation: %d game text files, %.1f MB; pack %.1f MB\n", files,
                folderBytes(u"pristine\\*.txt") / 1048576.0,
                folderBytes(u"data\\campaign\\translation\\bench\\*.txt") / 1048576.0);

    std::vector<std::u16string> errors;
    AppState app;
    startApp(app, errors);
    app.choiceDisplayName = app.catalogue.translationList.at(0).name;
    std::vector<std::u16string> names;
    {
        std::vector<platform::FolderEntry> entries;
        platform::listFolder(u"pristine\\*.txt", entries);
        for (const auto& entry : entries) {
            names.push_back(entry.name);
        }
    }
    measure(
        "translation run", repeat,
        [&] {
            for (const auto& name : names) {
                platform::copyFile(u"pristine\\" + name, u"data\\text\\" + name, false);
                platform::deleteFile(u"baseline\\" + name);
            }
        },
        [&] { runTranslationSetup(app); },
        [&] {
            for (const auto& name : names) {
                std::string game, pack;
                platform::readWholeFile(u"data\\text\\" + name, game);
                platform::readWholeFile(u"data\\campaign\\translation\\bench\\" + name, pack);
                // A new file that stays, as the run's does: a file deleted at once
                // never reaches the disk and would make the baseline too cheap.
                platform::writeWholeFile(u"baseline\\" + name, game);
            }
        },
        3.0,
        // What any run that replaces its files in one step does at least: on ext4 a rename
        // over an existing file starts writing the new one out at once.
        {"read+write+replace", [&] {
             for (const auto& name : names) {
                 std::string game, pack;
                 platform::readWholeFile(u"data\\text\\" + name, game);
                 platform::readWholeFile(u"data\\campaign\\translation\\bench\\" + name, pack);
                 platform::writeWholeFile(u"data\\text\\replace.tmp", game);
                 platform::replaceFile(u"data\\text\\replace.tmp", u"data\\text\\" + name);
             }
         }});
    int translated = 0;
    const std::string banner =
        "\xFF\xFE" + platform::encodeText(u"\u00AC--- Generated by Dravik setup translator\n",
                                          platform::TextEncoding::Utf16);
    for (const auto& name : names) {
        std::string start;
        platform::readFileStart(u"data\\text\\" + name, banner.size(), start);
        translated += start == banner;
    }
    std::printf("translation: %d of %zu files translated, %zu error texts\n", translated,
                names.size(), errors.size());
}

// ---- campaign run: 30 scripts of 20 blocks each (append after and before, replace on,
// append at the end), each script on its own 8-bit text file of 40,000 lines (1.6 MB).
void campaignPhase(int repeat) {
    constexpr int scripts = 30;
    constexpr int linesPerFile = 40000;
    std::vector<std::u16string> destinations;
    for (int s = 0; s < scripts; ++s) {
        std::u16string text;
        std::vector<std::u16string> lines;
        for (int i = 0; i < linesPerFile; ++i) {
            lines.push_back(u16("{UNIT_" + number(s, 2) + "_" + number(i, 6) + "}Unit line " +
                                std::to_string(i) + " of file " + std::to_string(s)));
            text += lines.back() + u"\n";
        }
        const std::string file = "big" + number(s, 2) + ".txt";
        destinations.push_back(u16("data\\text\\" + file));
        writeText(destinations.back(), text, platform::TextEncoding::Bytes8);
        const std::size_t step = lines.size() / 21;
        std::string blocks;
        const char* heads[] = {"append %s with add.txt after:", "append %s with add.txt before:",
                               "replace %s with add.txt on:"};
        for (int b = 0; b < 20; ++b) {
            const std::string destination = "data\\text\\" + file;
            char head[300];
            if (b < 19) {
                std::snprintf(head, sizeof head, heads[b % 3], destination.c_str());
                blocks += std::string(head) + "\n" + platform::utf16ToUtf8(lines[step * (b + 1)]) +
                          "\n<end>\n";
            } else {
                blocks += "append " + destination + " with add.txt\n<end>\n";
            }
        }
        std::string base = number(s, 2);
        base.insert(base.begin(), 's');
        writeText(
            u16("data\\campaign\\sub\\" + base + ".txt"),
            u16("[name]\nScript " + std::to_string(s) + "\n[works for]\nall\n[checked]\n[files]\n" +
                blocks),
            platform::TextEncoding::Bytes8);
        writeText(u16("data\\campaign\\sub\\" + base + "\\add.txt"), u"{ADDED}an added line\n",
                  platform::TextEncoding::Bytes8);
    }
    writeText(u"data\\campaign\\bench\\campaign.txt", u"[name]\nBench campaign\n",
              platform::TextEncoding::Bytes8);
    std::printf("campaign: %d scripts of 20 blocks, %d text files of %d lines, %.1f MB\n", scripts,
                scripts, linesPerFile, folderBytes(u"data\\text\\*.txt") / 1048576.0);

    std::vector<std::u16string> errors;
    AppState app;
    startApp(app, errors);
    std::array<bool, maxScripts> all{};
    for (std::size_t i = 0; i < app.catalogue.scriptList.size(); ++i) {
        all[i] = true;
    }
    const auto run = [&](bool withScripts) {
        app.chosenCampaignFolder = u"bench";
        app.choiceDisplayName = app.catalogue.campaignList.at(0).name;
        loadRecentSelection(app.setupState);
        app.setupState.previousCampaign =
            app.setupState.hasCampaign ? app.setupState.folder : u"none";
        confirmCampaignChoice(app, withScripts ? all : std::array<bool, maxScripts>{});
        runCampaignSetup(app);
    };
    // Every measured run starts from the game as generated: a run without scripts first
    // puts back what the scripts of the run before changed.
    std::vector<double> withScripts, without, bases;
    for (int i = 0; i < repeat; ++i) {
        run(false);
        auto start = Clock::now();
        run(true);
        withScripts.push_back(seconds(Clock::now() - start));
        run(false);
        start = Clock::now();
        run(false);
        without.push_back(seconds(Clock::now() - start));
        start = Clock::now();
        // The least the scripts must do: read each file they change and write it once, in
        // the place of the old one.
        for (const auto& destination : destinations) {
            std::string bytes;
            platform::readWholeFile(destination, bytes);
            platform::writeWholeFile(u"data\\text\\baseline.tmp", bytes);
            platform::replaceFile(u"data\\text\\baseline.tmp", destination);
        }
        bases.push_back(seconds(Clock::now() - start));
        std::printf("  campaign run #%d: with the scripts %.3f s, without %.3f s, read+write "
                    "each file once %.3f s\n",
                    i + 1, withScripts.back(), without.back(), bases.back());
    }
    std::vector<double> shares;
    for (std::size_t i = 0; i < withScripts.size(); ++i) {
        shares.push_back(withScripts[i] - without[i]);
    }
    const double ratio = median(shares) / median(bases);
    std::printf("campaign run: median with the scripts %.3f s, without %.3f s; the scripts' "
                "share %.3f s; median read+write each file once %.3f s; ratio %.2f (target: "
                "within 3x: %s)\n",
                median(withScripts), median(without), median(shares), median(bases), ratio,
                ratio <= 3.0 ? "met" : "NOT met");
    // The authors' check of the campaign with its default scripts (all of them are
    // [checked]): each alone, then together, nothing written.
    std::vector<double> checks;
    std::size_t findings = 0;
    for (int i = 0; i < repeat; ++i) {
        findings = 0;
        const auto start = Clock::now();
        CheckOptions options;
        options.campaigns = {u"bench"};
        checkCommand(options,
                     {[&](const std::string&) { ++findings; }, [](const std::string&) {}});
        checks.push_back(seconds(Clock::now() - start));
        std::printf("  check #%d: %.3f s\n", i + 1, checks.back());
    }
    std::printf("check of the campaign with its default scripts: median %.3f s, %zu lines; the "
                "campaign run with them %.3f s; ratio %.2f (target: no longer: %s)\n",
                median(checks), findings, median(withScripts),
                median(checks) / median(withScripts),
                median(checks) <= median(withScripts) ? "met" : "NOT met");
    std::printf("campaign run: peak memory of this phase %.1f MB\n", peakKilobytes() / 1024.0);
    std::printf("campaign: %zu error texts\n", errors.size());
    for (std::size_t i = 0; i < std::min<std::size_t>(errors.size(), 3); ++i) {
        std::printf("  %s\n", platform::utf16ToUtf8(errors[i]).c_str());
    }
}

// Each phase in a child process with a fresh folder, so that its peak memory is its own.
int runPhase(const std::string& phase, int repeat) {
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        // A folder in memory when there is one: the figures then show the work, not a disk
        // shared with other programs.
        char folder[] = "/dev/shm/bench_runs.XXXXXX";
        if (access("/dev/shm", W_OK) != 0) {
            std::memcpy(folder, "/tmp/bench_runs.XXXXXX\0", 23);
        }
        if (!mkdtemp(folder) || !platform::setCurrentDirectory(u16(folder))) {
            std::_Exit(1);
        }
        if (phase == "translation") {
            translationPhase(repeat);
        } else {
            campaignPhase(repeat);
        }
        std::fflush(stdout);
        std::system((std::string("rm -rf '") + folder + "'").c_str());
        std::_Exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> phases;
    int repeat = 5;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "translation") == 0 ||
                   std::strcmp(argv[i], "campaign") == 0) {
            phases.emplace_back(argv[i]);
        } else {
            std::fprintf(stderr, "usage: bench_runs [translation|campaign] [--repeat N]\n");
            return 2;
        }
    }
    if (phases.empty()) {
        phases = {"translation", "campaign"};
    }
    int status = 0;
    for (const auto& phase : phases) {
        status |= runPhase(phase, repeat);
    }
    return status;
}
