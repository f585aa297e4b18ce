// A campaign run's first step: save folders, restore of the kept game files, installation
// of the chosen campaign's files.
#pragma once

#include "backup/restore_backup.h"
#include "recent/setup_state.h"

#include <string_view>

// switchSaveFolders, restoreBackup, installCampaignFiles with the chosen campaign. When the
// chosen campaign is the one recorded as installed, the campaign's own copies that are
// unchanged since they were installed, of campaign files unchanged since as well, stay where
// they are, with their kept originals: only what the scripts changed and what differs from
// the campaign is moved back and copied again, which ends in the same game folder. False
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
// replaced; without one, the game file itself is moved into the tree). A game file that is
// a copy of the campaign file (its size and time, or the time given below, and its bytes)
// is left as it is, and gets no copy; no other game file is read. A copy keeps the campaign
// file's last-write time unless that time lies less than a few seconds back (or ahead): a
// later change of the copy could then carry the same time. subPath empty means the top level
// ("\"), where the campaign's own campaign.txt is not installed; otherwise it starts and
// ends with "\" ("\text\"). Links are skipped, and nothing is installed into the backup
// tree. The files of `leave` are passed over. Always true.
bool installCampaignFiles(std::u16string_view campaign, std::u16string_view subPath = {},
                          const InstalledCopies* leave = nullptr);

// The campaign's files whose game copy is still the one its installation made over a kept
// original: the game file has the campaign file's size and last-write time (a copy keeps
// the time; a change since, even within the same second, gives it another), the campaign
// file has not changed since the copy was made (its change time is not later than the
// copy's: a campaign updated in place, even by an archive that gives its files their old
// sizes and times, is installed again, since writing a file or setting its times moves its
// change time to the present), and the backup tree holds its original under the campaign's
// spelling of the path (as the full way would leave it), which is not itself a copy of the
// campaign file (as a script keeps a file the campaign added). A file the campaign added,
// without an original, is not known this way: two files written within one tick of the
// clock share their time, so that an unrelated file of the same size could pass for the
// campaign's copy; the installation compares its content instead.
InstalledCopies unchangedInstalledCopies(std::u16string_view campaign);

// A campaign name is one folder name: no separator, drive or stream, not "." or "..".
// Anything else would make a path built from it reach outside its own folder.
bool isPlainFolderName(std::u16string_view name);
