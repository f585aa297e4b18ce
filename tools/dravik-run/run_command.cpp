#include "run_command.h"

#include "check.h"

#include "app/setup_runs.h"
#include "platform/file_system.h"
#include "platform/game_folder_claim.h"
#include "platform/unicode.h"
#include "scripts/script_selection.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace {

constexpr const char* usageText =
    "usage: dravik-run [--game DIR] [--fail-op N | --stop-after-op N] list\n"
    "       dravik-run [--game DIR] [--fail-op N | --stop-after-op N] campaign FOLDER [SCRIPT_FILE "
    "...]\n"
    "       dravik-run [--game DIR] [--fail-op N | --stop-after-op N] translation DESCRIPTOR_FILE\n"
    "       dravik-run [--game DIR] check [--campaign FOLDER]... [--script SCRIPT_FILE]... "
    "[--pack DESCRIPTOR_FILE]... [--json] [--untranslated]";

struct Options {
    std::optional<std::u16string> game;
    CheckOptions check;
    bool checkOptionGiven = false;
    long failOperation = 0;
    long stopAfter = 0;
    bool exitOnStop = true;
    std::vector<std::u16string> words; // the command and its operands
};

bool parseCount(const std::u16string& text, long& value) {
    if (text.empty() || text.size() > 9) {
        return false;
    }
    value = 0;
    for (const char16_t c : text) {
        if (c < u'0' || c > u'9') {
            return false;
        }
        value = value * 10 + (c - u'0');
    }
    return value > 0;
}

// False on a malformed option; `problem` then says which.
bool parseOptions(const std::vector<std::u16string>& arguments, Options& options,
                  std::string& problem) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::u16string& word = arguments[i];
        if (word == u"--json" || word == u"--untranslated") {
            (word == u"--json" ? options.check.json : options.check.untranslated) = true;
            options.checkOptionGiven = true;
            continue;
        }
        const bool narrows = word == u"--campaign" || word == u"--script" || word == u"--pack";
        const bool takesValue = narrows || word == u"--game" || word == u"--fail-op" ||
                                word == u"--stop-after-op";
        if (!takesValue) {
            if (word.size() > 2 && word.substr(0, 2) == u"--") {
                problem = "unknown option " + platform::utf16ToUtf8(word);
                return false;
            }
            options.words.push_back(word);
            continue;
        }
        if (i + 1 >= arguments.size()) {
            problem = platform::utf16ToUtf8(word) + " needs a value";
            return false;
        }
        const std::u16string& value = arguments[++i];
        if (narrows) {
            (word == u"--campaign" ? options.check.campaigns
             : word == u"--script" ? options.check.scripts
                                   : options.check.packs)
                .push_back(value);
            options.checkOptionGiven = true;
        } else if (word == u"--game") {
            options.game = value;
        } else if (!parseCount(value,
                               word == u"--fail-op" ? options.failOperation : options.stopAfter)) {
            problem = platform::utf16ToUtf8(word) + " needs a positive number";
            return false;
        }
    }
    if (options.failOperation > 0 && options.stopAfter > 0) {
        problem = "--fail-op and --stop-after-op exclude each other";
        return false;
    }
    return true;
}

int usageError(const RunnerOutput& output, const std::string& problem) {
    output.err("dravik-run: " + problem);
    output.err(usageText);
    return runnerUsageError;
}

void printCatalogue(const Catalogue& catalogue, const RunnerOutput& output) {
    const auto flag = [](bool value) { return value ? "true" : "false"; };
    for (const CampaignEntry& campaign : catalogue.campaignList) {
        std::string line = "{\"kind\":\"campaign\",\"index\":" + std::to_string(campaign.index) +
                           ",\"folder\":" + jsonString(campaign.folder) +
                           ",\"name\":" + jsonString(campaign.name) + ",\"scripts\":[";
        for (std::size_t i = 0; i < campaign.scriptIndices.size(); ++i) {
            if (i > 0) {
                line += ',';
            }
            line += std::to_string(campaign.scriptIndices[i]);
        }
        output.out(line + "]}");
    }
    for (const ScriptEntry& script : catalogue.scriptList) {
        output.out("{\"kind\":\"script\",\"index\":" + std::to_string(script.index) +
                   ",\"fileName\":" + jsonString(script.fileName) + ",\"name\":" +
                   jsonString(script.name) + ",\"groupName\":" + jsonString(script.groupName) +
                   ",\"hasGroup\":" + flag(script.hasGroup) + ",\"checked\":" +
                   flag(script.checked) + ",\"required\":" + flag(script.required) +
                   ",\"worksFor\":" + jsonString(script.worksFor) + "}");
    }
    for (const TranslationEntry& pack : catalogue.translationList) {
        output.out("{\"kind\":\"translation\",\"index\":" + std::to_string(pack.index) +
                   ",\"fileName\":" + jsonString(pack.fileName) + ",\"folder\":" +
                   jsonString(pack.folder) + ",\"name\":" + jsonString(pack.name) + "}");
    }
}

// The final status text: the label of the program's main window.
struct StatusLabel {
    std::u16string text;
};

void startRun(AppState& app, StatusLabel& status, const Options& options) {
    app.progress.label = [&status](const std::u16string& text) { status.text = text; };
    app.handBackMainWindow = [&status](const std::u16string& text) { status.text = text; };
    // From here on the operations are counted: the fault plan covers the run itself.
    platform::setFaultPlan({.failOperation = options.failOperation,
                            .stopAfter = options.stopAfter,
                            .exitOnStop = options.stopAfter > 0 && options.exitOnStop});
    app.progress.busy = true;
    startProgressAnimation(app.progress);
}

int campaignCommand(AppState& app, const Options& options, const RunnerOutput& output) {
    if (options.words.size() < 2) {
        return usageError(output, "campaign needs a campaign folder");
    }
    auto& campaigns = app.catalogue.campaignList;
    const auto campaign =
        std::find_if(campaigns.begin(), campaigns.end(),
                     [&](const CampaignEntry& c) { return c.folder == options.words[1]; });
    if (campaign == campaigns.end()) {
        return usageError(output, "unknown campaign " + jsonString(options.words[1]));
    }

    // The campaign button.
    app.chosenCampaignFolder = campaign->folder;
    app.choiceDisplayName = campaign->name;

    // The Script Handler's opening.
    app.progress.busy = false;
    openScriptChoice(app.catalogue, *campaign, app.chosenCampaignFolder, app.setupState);
    const std::vector<ScriptGroup> groups = buildScriptGroups(app.catalogue, *campaign);

    // Ticking exactly the named scripts: only those with a box can be ticked.
    std::array<bool, maxScripts> checked{};
    const std::vector<std::int16_t> offered = campaignScripts(app.catalogue, *campaign);
    for (std::size_t i = 2; i < options.words.size(); ++i) {
        const auto slot = std::find_if(offered.begin(), offered.end(), [&](std::int16_t s) {
            return app.catalogue.scriptList[static_cast<std::size_t>(s)].fileName ==
                   options.words[i];
        });
        if (slot == offered.end()) {
            const bool known =
                std::any_of(app.catalogue.scriptList.begin(), app.catalogue.scriptList.end(),
                            [&](const ScriptEntry& s) { return s.fileName == options.words[i]; });
            return usageError(
                output, (known ? "script not offered for this campaign " : "unknown script ") +
                            jsonString(options.words[i]));
        }
        checked[static_cast<std::size_t>(*slot)] = true;
    }

    // OK.
    if (const ScriptGroup* missing = findUnfilledRequiredGroup(groups, checked)) {
        showError(app.errors, requiredGroupMessage, {missing->name});
        return runnerRefused;
    }
    confirmCampaignChoice(app, checked);
    StatusLabel status;
    startRun(app, status, options);
    runCampaignSetup(app);
    output.out("status: " + jsonString(status.text));
    return runnerCompleted;
}

int translationCommand(AppState& app, const Options& options, const RunnerOutput& output) {
    if (options.words.size() != 2) {
        return usageError(output, "translation needs exactly one descriptor file name");
    }
    const auto& packs = app.catalogue.translationList;
    const auto pack = std::find_if(packs.begin(), packs.end(), [&](const TranslationEntry& t) {
        return t.fileName == options.words[1];
    });
    if (pack == packs.end()) {
        return usageError(output, "unknown translation " + jsonString(options.words[1]));
    }
    // The "Translations" button rereads the record; the pack's button makes the choice.
    loadRecentSelection(app.setupState);
    app.selectedTranslation = pack->index;
    app.choiceDisplayName = pack->name;
    StatusLabel status;
    startRun(app, status, options);
    runTranslationSetup(app);
    output.out("status: " + jsonString(status.text));
    return runnerCompleted;
}

} // namespace

std::string jsonString(std::u16string_view text) {
    std::string json = "\"";
    for (const char16_t c : text) {
        if (c == u'"' || c == u'\\') {
            json += '\\';
            json += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            json += static_cast<char>(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            json += escape;
        }
    }
    return json + "\"";
}

int runDravikCommand(const std::vector<std::u16string>& arguments, const RunnerOutput& output,
                     bool exitOnStop) {
    Options options;
    options.exitOnStop = exitOnStop;
    std::string problem;
    if (!parseOptions(arguments, options, problem)) {
        return usageError(output, problem);
    }
    if (options.words.empty()) {
        return usageError(output, "no command");
    }
    const std::u16string& command = options.words[0];
    if (command != u"list" && command != u"campaign" && command != u"translation" &&
        command != u"check") {
        return usageError(output, "unknown command " + jsonString(command));
    }
    if (command == u"check") {
        if (options.words.size() != 1 || options.failOperation > 0 || options.stopAfter > 0) {
            return usageError(output, "check takes only --campaign, --script, --pack, --json "
                                      "and --untranslated");
        }
        if (options.game && !platform::setCurrentDirectory(*options.game)) {
            return usageError(output,
                              "cannot enter the game folder " + jsonString(*options.game));
        }
        // No claim, no clean-up of an unfinished run: a check changes nothing at all.
        return checkCommand(options.check, output);
    }
    if (options.checkOptionGiven) {
        return usageError(output, "--campaign, --script, --pack, --json and --untranslated "
                                  "are options of check");
    }
    if (command == u"list" && options.words.size() != 1) {
        return usageError(output, "list takes no operands");
    }
    if (options.game && !platform::setCurrentDirectory(*options.game)) {
        return usageError(output, "cannot enter the game folder " + jsonString(*options.game));
    }

    // Before anything touches the folder, as the program does; let go when the command
    // returns (tests run many commands in one process).
    platform::GameFolderClaim claim;
    if (!platform::claimGameFolder(claim)) {
        output.err("error: " + jsonString(platform::gameFolderBusyMessage));
        return runnerRefused;
    }

    AppState app;
    app.errors.show = [&output](const std::u16string& text) {
        output.err("error: " + jsonString(text));
    };
    platform::setFaultPlan({});
    // The program's start-up: what a crash left behind, the scan, then the record.
    recoverFromUnfinishedRun(app.errors);
    if (!scanCatalogue(app.catalogue, app.errors)) {
        return runnerRefused;
    }
    loadRecentSelection(app.setupState);

    if (command == u"list") {
        printCatalogue(app.catalogue, output);
        return runnerCompleted;
    }
    return command == u"campaign" ? campaignCommand(app, options, output)
                                  : translationCommand(app, options, output);
}
