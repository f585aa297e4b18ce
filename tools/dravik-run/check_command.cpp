// dravik-run check: the checks in turn, then one finding a line and the summary.
#include "check.h"

#include "platform/file_system.h"
#include "platform/unicode.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <tuple>

namespace {

const char* severityName(Severity severity) {
    return severity == Severity::error ? "error" : "warning";
}

// A run's message on one line: its line breaks become " | ".
std::u16string oneLine(std::u16string_view text) {
    std::u16string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'\n') {
            line += text[i];
        } else if (i + 1 < text.size() && text[i + 1] != u'\n') {
            line += u" | ";
        }
    }
    return line;
}

std::string utf8(std::u16string_view text) {
    return platform::utf16ToUtf8(text);
}

// The same finding for several campaigns is told once, naming them all.
std::vector<Finding> merged(std::vector<Finding> findings) {
    std::stable_sort(findings.begin(), findings.end(), [](const Finding& a, const Finding& b) {
        return std::tie(a.path, a.line) < std::tie(b.path, b.line);
    });
    std::vector<Finding> out;
    for (Finding& finding : findings) {
        const auto same = std::find_if(out.begin(), out.end(), [&](const Finding& f) {
            return f.path == finding.path && f.line == finding.line &&
                   f.severity == finding.severity && f.text == finding.text;
        });
        if (same == out.end()) {
            out.push_back(std::move(finding));
        } else if (!finding.context.empty() &&
                   same->context.find(finding.context) == std::u16string::npos) {
            same->context += (same->context.empty() ? u"" : u", ") + finding.context;
        }
    }
    return out;
}

void print(const Finding& finding, bool json, const RunnerOutput& output) {
    if (json) {
        output.out("{\"path\":" + jsonString(finding.path) +
                   ",\"line\":" + std::to_string(finding.line) + ",\"severity\":\"" +
                   severityName(finding.severity) + "\",\"text\":" + jsonString(finding.text) +
                   ",\"context\":" + jsonString(finding.context) + "}");
        return;
    }
    output.out(utf8(finding.path) + ":" + std::to_string(finding.line) + ": " +
               severityName(finding.severity) + ": " + utf8(oneLine(finding.text)) +
               (finding.context.empty() ? "" : " (" + utf8(finding.context) + ")"));
}

} // namespace

std::u16string numberText(std::size_t n) {
    return platform::utf8ToUtf16(std::to_string(n));
}

bool isChosen(const std::vector<std::u16string>& chosen, std::u16string_view name) {
    return chosen.empty() || std::find(chosen.begin(), chosen.end(), name) != chosen.end();
}

int checkCommand(const CheckOptions& options, const RunnerOutput& output) {
    const auto started = std::chrono::steady_clock::now();
    const auto refuse = [&](std::u16string_view text) {
        output.err("error: " + jsonString(text));
        return runnerUsageError;
    };
    if (!platform::folderExists(u"data\\campaign")) {
        return refuse(u"No game folder: data\\campaign is missing.");
    }
    Catalogue catalogue;
    std::u16string scanProblem;
    if (!scanCatalogue(catalogue,
                       ErrorSink{[&](const std::u16string& text) { scanProblem = text; }})) {
        return refuse(scanProblem);
    }
    const auto unknown = [](const std::vector<std::u16string>& chosen, const auto& list,
                            auto nameOf) {
        for (const std::u16string& name : chosen) {
            if (std::none_of(list.begin(), list.end(),
                             [&](const auto& entry) { return nameOf(entry) == name; })) {
                return name;
            }
        }
        return std::u16string();
    };
    for (const std::u16string& name :
         {unknown(options.campaigns, catalogue.campaignList,
                  [](const CampaignEntry& c) { return c.folder; }),
          unknown(options.scripts, catalogue.scriptList,
                  [](const ScriptEntry& s) { return s.fileName; }),
          unknown(options.packs, catalogue.translationList,
                  [](const TranslationEntry& t) { return t.fileName; })}) {
        if (!name.empty()) {
            output.err("dravik-run: nothing of that name to check: " + jsonString(name));
            return runnerUsageError;
        }
    }

    CheckReport report;
    checkDescriptors(catalogue, options, report);
    checkCampaignFiles(catalogue, options, report);
    checkScripts(catalogue, options, report);
    checkTranslations(catalogue, options, report);

    std::size_t errors = 0, warnings = 0;
    for (const Finding& finding : merged(std::move(report.findings))) {
        print(finding, options.json, output);
        ++(finding.severity == Severity::error ? errors : warnings);
    }
    for (const auto& [path, keys] : report.untranslated) {
        if (options.json) {
            std::string list;
            for (const std::u16string& key : keys) {
                list += (list.empty() ? "" : ",") + jsonString(key);
            }
            output.out("{\"untranslated\":" + jsonString(path) +
                       ",\"count\":" + std::to_string(keys.size()) +
                       (options.untranslated ? ",\"keys\":[" + list + "]" : std::string()) + "}");
            continue;
        }
        if (!keys.empty()) {
            output.out("check: " + utf8(path) + " leaves " + std::to_string(keys.size()) +
                       " game key" + (keys.size() == 1 ? "" : "s") + " untranslated");
        }
        for (const std::u16string& key :
             options.untranslated ? keys : std::vector<std::u16string>{}) {
            output.out(utf8(path) + ": untranslated: " + utf8(key));
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    char time[32];
    std::snprintf(time, sizeof time, "%.2f", seconds);
    if (options.json) {
        output.out("{\"summary\":{\"campaigns\":" + std::to_string(report.campaigns) +
                   ",\"scripts\":" + std::to_string(report.scripts) + ",\"packs\":" +
                   std::to_string(report.packs) + ",\"errors\":" + std::to_string(errors) +
                   ",\"warnings\":" + std::to_string(warnings) + ",\"seconds\":" + time + "}}");
    } else {
        output.out("check: " + std::to_string(report.campaigns) + " campaigns, " +
                   std::to_string(report.scripts) + " scripts, " + std::to_string(report.packs) +
                   " packs checked: " + std::to_string(errors) + " errors, " +
                   std::to_string(warnings) + " warnings in " + time + " s");
    }
    return errors == 0 ? runnerCompleted : runnerRefused;
}
