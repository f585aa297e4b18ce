// A campaign run's first step: save folders, restore of the kept game files, installation
// of the chosen campaign's files.
#pragma once

#include "recent/setup_state.h"

#include <string_view>

// switchSaveFolders, restoreBackup, installCampaignFiles with the chosen campaign. False
// when the save folders could not be switched ("saves" could not be parked, or recent.txt
// could not be rewritten): the game files are switched all the same, and recent.txt still
// names the campaign whose games "saves" holds.
bool switchCampaign(std::u16string_view chosen, SetupState& state);

// Parks "saves" as "save_<previous>" (previous = state.previousCampaign; empty or "none"
// means no campaign installed yet) and brings "save_<chosen>" in as "saves" (or creates an
// empty "saves"). A stale "save_<previous>" is first moved aside to a free name
// ("save_<previous>.old", ".old2", ...). Once the previous campaign's saves are parked and
// before the chosen campaign's are brought in, recent.txt is rewritten to name the chosen
// campaign (scripts not yet recorded, translation kept), so that at every moment the
// recent.txt on disk names the campaign whose save games are in "saves". Sets state.folder
// to the chosen campaign and empties state.recordedScriptList for that record. False when
// "saves" could not be parked or the record could not be written; "saves" then still
// holds the previous campaign's games (or none), and recent.txt still names it.
bool switchSaveFolders(std::u16string_view chosen, SetupState& state);

// Copies data\campaign\<campaign><subPath>... into data<subPath>..., depth first, keeping a
// first copy of each game file it overwrites in the backup tree (an existing copy is never
// replaced; without one, the game file itself is moved into the tree). A game file that
// already holds the campaign's bytes is left as it is, and gets no copy. subPath empty
// means the top level ("\"), where the campaign's own campaign.txt is not installed;
// otherwise it starts and ends with "\" ("\text\"). Links are skipped, and nothing is
// installed into the backup tree. Always true.
bool installCampaignFiles(std::u16string_view campaign, std::u16string_view subPath = {});

// A campaign name is one folder name: no separator, drive or stream, not "." or "..".
// Anything else would make a path built from it reach outside its own folder.
bool isPlainFolderName(std::u16string_view name);
