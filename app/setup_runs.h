// The two setup runs. Each runs on a thread of its own in the program; tests and the
// command-line runner call them on the calling thread.
#pragma once

#include "app/app_state.h"

// Switch, restore, install, the selected scripts in slot order, the record, finishRun.
void runCampaignSetup(AppState& app);

// The chosen pack, the record, finishRun.
void runTranslationSetup(AppState& app);

// The confirmation of the Script Handler after its required-group check: keeps the
// recorded translation, empties the record (recent.txt stays until the run replaces it)
// and sets the selection flags from `checked` (flag i for script slot i).
void confirmCampaignChoice(AppState& app, const std::array<bool, maxScripts>& checked);

// The unfinished-run marker stands from before a run's first change to after its last (and
// stays while a temporary file of ours is left): a crash in between leaves it for the next
// start.
void markRunStarted();
void markRunFinished();

// At start-up: when the last run did not finish (a crash or power cut), removes what it
// left of ours, says so once and forgets it. True when it had to.
bool recoverFromUnfinishedRun(const ErrorSink& errors);

inline constexpr std::u16string_view unfinishedRunMessage =
    u"The last setup did not finish. Choose a campaign to set the game up again.";

// Stops the animation, then hands the main window back once with "Using:\n" and
// choiceDisplayName as the status text.
void finishRun(AppState& app);
