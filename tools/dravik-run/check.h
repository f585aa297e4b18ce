// dravik-run check: every problem of a game folder's scripts, descriptors, translation
// packs and campaign files at once, for the people who write them, without changing a
// single file. The runs' own code does the work, on open texts that never write.
#pragma once

#include "catalogue/scan_catalogue.h"
#include "run_command.h"

#include <cstddef>
#include <string>
#include <vector>

enum class Severity {
    error,   // what a run would show as a message, or would do wrong
    warning, // the rest
};

// One problem, at a path relative to the game folder and a line of it (0: the file as a
// whole).
struct Finding {
    std::u16string path;
    long line = 0;
    Severity severity = Severity::error;
    std::u16string text;    // a run's message as the run shows it, or the check's own
    std::u16string context = {}; // where it shows: "campaign norvale"
};

struct CheckOptions {
    // Narrowing: only these campaign folders, script file names, pack file names (empty:
    // all).
    std::vector<std::u16string> campaigns, scripts, packs;
    bool json = false;         // one JSON object a line instead of path:line: severity: text
    bool untranslated = false; // list the game keys each pack file does not translate
};

struct CheckReport {
    std::vector<Finding> findings;
    std::size_t campaigns = 0, scripts = 0, packs = 0; // checked
    // Per pack file (path relative to the game folder): the game keys it does not
    // translate. Not findings: the summary counts them, --untranslated lists them.
    std::vector<std::pair<std::u16string, std::vector<std::u16string>>> untranslated;
};

// A count or line number as the findings write it.
std::u16string numberText(std::size_t n);

// True when the option list narrows nothing of this kind or names `name`.
bool isChosen(const std::vector<std::u16string>& chosen, std::u16string_view name);

// Each check adds its findings; the catalogue is the start-up scan's.
void checkScripts(Catalogue& catalogue, const CheckOptions& options, CheckReport& report);
void checkDescriptors(const Catalogue& catalogue, const CheckOptions& options,
                      CheckReport& report);
void checkTranslations(const Catalogue& catalogue, const CheckOptions& options,
                       CheckReport& report);
void checkCampaignFiles(const Catalogue& catalogue, const CheckOptions& options,
                        CheckReport& report);

// The messages a campaign run with these scripts (slots, in slot order) would show, in the
// order it would show them, from the check's run that never writes.
std::vector<std::u16string> selectionMessages(Catalogue& catalogue, const CampaignEntry& campaign,
                                              const std::vector<std::int16_t>& slots);

// The command, in the current directory. Exit code 0 without an error finding, 1 with one,
// 2 for a folder that is no game folder.
int checkCommand(const CheckOptions& options, const RunnerOutput& output);
