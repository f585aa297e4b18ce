// The scripts of each campaign, checked by the campaign run's own code on open texts that
// never write: each script alone, then the selections a player would tick together. What a
// run shows is reported where the run shows it; what differs between a script alone and
// after others depends on the order; two scripts that change the same lines of one game
// file conflict.
#include "check.h"

#include "backup/restore_backup.h"
#include "catalogue/game_paths.h"
#include "patch/open_texts.h"
#include "patch/run_patch_script.h"
#include "platform/file_system.h"
#include "platform/unicode.h"
#include "scripts/script_selection.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <tuple>
#include <unordered_map>

namespace {

struct Message {
    long line = 0;
    std::u16string text;
    std::size_t order = 0; // among all the selection's messages
    bool operator<(const Message& other) const {
        return std::tie(line, text) < std::tie(other.line, other.text);
    }
};

// What the scripts of one selection do, each script's messages apart.
struct Outcome {
    std::map<std::int16_t, std::vector<Message>> messages; // by script slot
    // By the platform's form of the game path: the path as first changed, and the content
    // (of a script alone; shared by the outcomes that tell of it).
    std::map<std::u16string, std::pair<std::u16string, std::shared_ptr<const std::string>>> changed;
    std::map<std::int16_t, std::set<std::u16string>> changedBy; // script -> the keys it changed
    // The scripts that used no file another script of the selection used: alone they do and
    // show exactly what they do here.
    std::set<std::int16_t> apart;
};

// The game as a switch to the campaign leaves it: a campaign file in the place of its game
// file, else a kept original in the place of the file its configuration changed.
std::map<std::u16string, std::u16string> gameAfterSwitch(std::u16string_view campaign) {
    std::map<std::u16string, std::u16string> readInstead;
    const auto add = [&](const std::u16string& root, bool skipDescriptor) {
        std::vector<TreeStep> steps;
        walkTree(root, u"\\", steps);
        for (const TreeStep& step : steps) {
            if (step.kind == TreeStep::Kind::file &&
                !(skipDescriptor && step.relative == u"\\campaign.txt")) {
                readInstead.emplace(platform::fileNameKey(u"data" + step.relative),
                                    root + step.relative);
            }
        }
    };
    add(campaignFolderPath(campaign), true); // first: a campaign file wins over a kept one
    add(std::u16string(backupRoot), false);
    return readInstead;
}

Outcome runSelection(Catalogue& catalogue, const std::vector<std::int16_t>& slots,
                     const std::map<std::u16string, std::u16string>& readInstead) {
    Outcome outcome;
    OpenTexts texts;
    texts.writes = false;
    texts.readInstead = readInstead;
    TouchedFileList touched;
    std::int16_t script = 0;
    long line = 0;
    std::size_t shown = 0;
    PatchContext context{ErrorSink{[&](const std::u16string& text) {
                             outcome.messages[script].push_back({line, text, shown++});
                         }},
                         &touched, &texts, [&](long head) { line = head; }};
    for (std::size_t at = 0; at < slots.size(); ++at) {
        const ScriptEntry& entry = catalogue.scriptList[static_cast<std::size_t>(slots[at])];
        script = slots[at];
        line = 0;
        texts.user = std::uint64_t{1} << at; // at most 30 scripts
        outcome.messages[script];            // a script without messages is known too
        outcome.apart.insert(script);
        runPatchScript({entry.folder, scriptDescriptorPath(entry.fileName), entry.fileName},
                       context);
    }
    for (const auto& [key, number] : texts.byNameKey) {
        const OpenText& file = texts.files[number];
        for (std::size_t at = 0; at < slots.size(); ++at) {
            const std::uint64_t bit = std::uint64_t{1} << at;
            if ((file.usedBy & bit) != 0 && (file.usedBy & ~bit) != 0) {
                outcome.apart.erase(slots[at]);
            }
            if ((file.changedBy & bit) != 0) {
                outcome.changedBy[slots[at]].insert(key);
            }
        }
        if (file.changed) {
            outcome.changed.emplace(key, std::pair{file.writePath, nullptr});
        }
    }
    // The contents only of a script alone: only they are ever compared.
    if (slots.size() == 1) {
        for (auto& [path, content] : takeChangedTexts(texts)) {
            outcome.changed[platform::fileNameKey(path)].second =
                std::make_shared<const std::string>(std::move(content));
        }
    }
    return outcome;
}

// What a script of a selection does alone, when it used no other script's file there.
Outcome aloneFrom(const Outcome& together, std::int16_t slot) {
    Outcome alone;
    alone.messages[slot] = together.messages.at(slot);
    alone.apart.insert(slot);
    if (const auto keys = together.changedBy.find(slot); keys != together.changedBy.end()) {
        alone.changedBy[slot] = keys->second;
        for (const std::u16string& key : keys->second) {
            alone.changed.emplace(key, together.changed.at(key));
        }
    }
    return alone;
}

// The lines of a text file's content, decoded as the run decodes it.
std::vector<std::u16string> linesOf(std::string_view bytes) {
    const FileMode mode = fileModeOf(bytes.substr(0, 2));
    std::u16string text = platform::decodeText(bytes, encodingOf(mode));
    std::vector<std::u16string> lines;
    std::size_t start = 0;
    for (std::size_t end = text.find(u'\n'); end != std::u16string::npos;
         start = end + 1, end = text.find(u'\n', start)) {
        lines.push_back(text.substr(start, end - start));
    }
    if (start < text.size()) {
        lines.push_back(text.substr(start));
    }
    return lines;
}

// Which lines of `before` are gone or replaced in `after` (a shortest edit script, Myers);
// lines only inserted between them change none.
std::vector<bool> changedLines(const std::vector<std::u16string>& before,
                               const std::vector<std::u16string>& after) {
    std::vector<bool> changed(before.size(), false);
    std::size_t head = 0;
    while (head < before.size() && head < after.size() && before[head] == after[head]) {
        ++head;
    }
    std::size_t tail = 0;
    while (tail < before.size() - head && tail < after.size() - head &&
           before[before.size() - 1 - tail] == after[after.size() - 1 - tail]) {
        ++tail;
    }
    const long n = static_cast<long>(before.size() - head - tail);
    const long m = static_cast<long>(after.size() - head - tail);
    std::unordered_map<std::u16string_view, int> ids;
    std::vector<int> a(static_cast<std::size_t>(n)), b(static_cast<std::size_t>(m));
    for (long i = 0; i < n; ++i) {
        a[i] = ids.emplace(before[head + i], static_cast<int>(ids.size())).first->second;
    }
    for (long j = 0; j < m; ++j) {
        b[j] = ids.emplace(after[head + j], static_cast<int>(ids.size())).first->second;
    }
    // The furthest x on each diagonal k after d edits; trace[d] holds them for k = -d..d.
    // Past this many edits (the trace grows with their square) the whole middle counts as
    // changed.
    constexpr long mostEdits = 2000;
    std::vector<std::vector<long>> trace;
    std::vector<long> v(3, 0);
    long edits = -1;
    for (long d = 0; d <= n + m && d <= mostEdits && edits < 0; ++d) {
        std::vector<long> next(static_cast<std::size_t>(2 * d + 1));
        const auto at = [&](const std::vector<long>& row, long k, long rowD) {
            return row[static_cast<std::size_t>(k + rowD)];
        };
        for (long k = -d; k <= d; k += 2) {
            long x;
            if (d == 0) {
                x = 0;
            } else if (k == -d || (k != d && at(v, k - 1, d - 1) < at(v, k + 1, d - 1))) {
                x = at(v, k + 1, d - 1); // down: a line of `after` inserted
            } else {
                x = at(v, k - 1, d - 1) + 1; // right: a line of `before` gone
            }
            long y = x - k;
            while (x < n && y < m && a[x] == b[y]) {
                ++x;
                ++y;
            }
            next[static_cast<std::size_t>(k + d)] = x;
            if (x >= n && y >= m) {
                edits = d;
            }
        }
        trace.push_back(next);
        v = std::move(next);
    }
    if (edits < 0) {
        std::fill(changed.begin() + static_cast<long>(head),
                  changed.begin() + static_cast<long>(head) + n, true);
        return changed;
    }
    long x = n, y = m;
    for (long d = edits; d > 0; --d) {
        const std::vector<long>& prev = trace[static_cast<std::size_t>(d - 1)];
        const auto at = [&](long k) { return prev[static_cast<std::size_t>(k + d - 1)]; };
        const long k = x - y;
        const bool down = k == -d || (k != d && at(k - 1) < at(k + 1));
        const long prevK = down ? k + 1 : k - 1;
        const long prevX = at(prevK);
        const long prevY = prevX - prevK;
        if (!down) {
            changed[head + static_cast<std::size_t>(prevX)] = true;
        }
        x = prevX;
        y = prevY;
    }
    return changed;
}

// The line of the script's first block for that game file, for a finding about the file.
long firstBlockFor(const ScriptEntry& script, std::u16string_view gamePath) {
    std::string bytes;
    if (!platform::readWholeFile(scriptDescriptorPath(script.fileName), bytes)) {
        return 0;
    }
    const std::u16string key = platform::fileNameKey(gamePath);
    const std::vector<std::u16string> lines = linesOf(bytes);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::u16string& line = lines[i];
        const std::size_t start = line.find_first_not_of(u" \t");
        const std::size_t blank = line.find_first_of(u" \t", start);
        if (start == std::u16string::npos || blank == std::u16string::npos) {
            continue;
        }
        const std::size_t second = line.find_first_not_of(u" \t", blank);
        const std::size_t end = line.find_first_of(u" \t\r", second);
        if (second != std::u16string::npos &&
            platform::fileNameKey(line.substr(second, end - second)) == key) {
            return static_cast<long>(i + 1);
        }
    }
    return 0;
}

std::u16string namesOf(const Catalogue& catalogue, const std::vector<std::int16_t>& slots) {
    std::u16string names;
    for (const std::int16_t slot : slots) {
        names += (names.empty() ? u"" : u", ") +
                 catalogue.scriptList[static_cast<std::size_t>(slot)].fileName;
    }
    return names;
}

// The selections a player would tick together: the [checked] defaults, and every script
// with one member of each group, each member in turn.
std::set<std::vector<std::int16_t>> selections(const Catalogue& catalogue,
                                               const CampaignEntry& campaign,
                                               const std::vector<std::int16_t>& offered) {
    const std::vector<ScriptGroup> groups = buildScriptGroups(catalogue, campaign);
    const auto isOffered = [&](std::int16_t slot) {
        return std::find(offered.begin(), offered.end(), slot) != offered.end();
    };
    std::set<std::vector<std::int16_t>> chosen;
    std::vector<std::int16_t> defaults;
    for (const std::int16_t slot : offered) {
        if (catalogue.scriptList[static_cast<std::size_t>(slot)].checked) {
            defaults.push_back(slot);
        }
    }
    chosen.insert(defaults);
    std::size_t turns = 1;
    for (const ScriptGroup& group : groups) {
        turns = std::max(turns, group.members.size());
    }
    for (std::size_t turn = 0; turn < turns; ++turn) {
        std::vector<std::int16_t> slots;
        for (const std::int16_t slot : offered) {
            if (!catalogue.scriptList[static_cast<std::size_t>(slot)].hasGroup) {
                slots.push_back(slot);
            }
        }
        for (const ScriptGroup& group : groups) {
            std::vector<std::int16_t> members;
            std::copy_if(group.members.begin(), group.members.end(), std::back_inserter(members),
                         isOffered);
            if (!members.empty()) {
                slots.push_back(members[std::min(turn, members.size() - 1)]);
            }
        }
        std::sort(slots.begin(), slots.end()); // slot order, as a run takes them
        chosen.insert(slots);
    }
    return chosen;
}

bool sameGroup(const ScriptEntry& a, const ScriptEntry& b) {
    return a.hasGroup && b.hasGroup && a.groupName == b.groupName;
}

void checkCampaign(Catalogue& catalogue, const CampaignEntry& campaign, const CheckOptions& options,
                   CheckReport& report) {
    std::vector<std::int16_t> offered;
    for (const std::int16_t slot : campaignScripts(catalogue, campaign)) {
        if (isChosen(options.scripts,
                     catalogue.scriptList[static_cast<std::size_t>(slot)].fileName)) {
            offered.push_back(slot);
        }
    }
    const auto readInstead = gameAfterSwitch(campaign.folder);
    const std::u16string forCampaign = u"campaign " + campaign.folder;
    const auto descriptor = [&](std::int16_t slot) {
        return scriptDescriptorPath(catalogue.scriptList[static_cast<std::size_t>(slot)].fileName);
    };

    // The selections first: a script that met no other's file there needs no run alone.
    std::map<std::vector<std::int16_t>, Outcome> together;
    std::map<std::int16_t, Outcome> alone;
    for (const std::vector<std::int16_t>& slots : selections(catalogue, campaign, offered)) {
        if (slots.size() < 2) {
            continue;
        }
        const Outcome& outcome =
            together.emplace(slots, runSelection(catalogue, slots, readInstead)).first->second;
        for (const std::int16_t slot : outcome.apart) {
            alone.try_emplace(slot, aloneFrom(outcome, slot));
        }
    }
    for (const std::int16_t slot : offered) {
        if (alone.count(slot) == 0) {
            alone.emplace(slot, runSelection(catalogue, {slot}, readInstead));
        }
        for (const Message& message : alone[slot].messages[slot]) {
            report.findings.push_back(
                {descriptor(slot), message.line, Severity::error, message.text, forCampaign});
        }
    }

    // Two scripts a player can tick together that change the same lines of one game file:
    // the later one's change replaces the earlier one's, or finds its anchor gone.
    std::set<std::pair<std::int16_t, long>> conflictAt; // the later script's block
    // By game file (its key) changed by two scripts or more: each one's changed lines of the
    // file as the switch leaves it.
    std::map<std::u16string, std::vector<std::int16_t>> changers;
    for (const auto& [slot, outcome] : alone) {
        for (const auto& [key, changed] : outcome.changed) {
            changers[key].push_back(slot);
        }
    }
    std::map<std::u16string, std::map<std::int16_t, std::vector<bool>>> changes;
    for (const auto& [key, slots] : changers) {
        if (slots.size() < 2) {
            continue;
        }
        for (const std::int16_t slot : slots) {
            if (alone[slot].changed[key].second == nullptr) { // told by a selection
                alone[slot] = runSelection(catalogue, {slot}, readInstead);
            }
        }
        std::string bytes;
        const auto instead = readInstead.find(key);
        platform::readWholeFile(instead != readInstead.end()
                                    ? instead->second
                                    : alone[slots.front()].changed[key].first,
                                bytes);
        const std::vector<std::u16string> original = linesOf(bytes);
        for (const std::int16_t slot : slots) {
            changes[key].emplace(slot,
                                 changedLines(original, linesOf(*alone[slot].changed[key].second)));
        }
    }
    for (const auto& [key, bySlot] : changes) {
        for (auto a = bySlot.begin(); a != bySlot.end(); ++a) {
            for (auto b = std::next(a); b != bySlot.end(); ++b) {
                const ScriptEntry& first = catalogue.scriptList[static_cast<std::size_t>(a->first)];
                const ScriptEntry& second =
                    catalogue.scriptList[static_cast<std::size_t>(b->first)];
                if (sameGroup(first, second)) {
                    continue; // never ticked together
                }
                std::u16string lines;
                std::size_t shared = 0;
                for (std::size_t i = 0; i < a->second.size(); ++i) {
                    if (a->second[i] && b->second[i] && ++shared <= 3) {
                        lines += (lines.empty() ? u"" : u", ") + numberText(i + 1);
                    }
                }
                if (shared == 0) {
                    continue;
                }
                const std::u16string& file = alone[b->first].changed[key].first;
                const long line = firstBlockFor(second, file);
                conflictAt.insert({b->first, line});
                report.findings.push_back({descriptor(b->first), line, Severity::error,
                                           u"conflict: " + first.fileName + u" and " +
                                               second.fileName + u" both change line" +
                                               (shared > 1 ? u"s " : u" ") + lines +
                                               (shared > 3 ? u", ..." : u"") + u" of " + file,
                                           forCampaign});
            }
        }
    }

    // A block that shows a message after the scripts before it and not alone, or the other
    // way round.
    for (auto& [slots, outcome] : together) {
        for (std::size_t i = 1; i < slots.size(); ++i) {
            const std::int16_t slot = slots[i];
            if (outcome.apart.count(slot) != 0) {
                continue; // as alone, by construction
            }
            const std::u16string before =
                namesOf(catalogue, std::vector<std::int16_t>(slots.begin(), slots.begin() + i));
            std::multiset<Message> own(alone[slot].messages[slot].begin(),
                                       alone[slot].messages[slot].end());
            std::multiset<Message> after(outcome.messages[slot].begin(),
                                         outcome.messages[slot].end());
            for (const Message& message : after) {
                if (conflictAt.count({slot, message.line}) != 0) {
                    continue; // told as the conflict it comes from
                }
                if (own.count(message) < after.count(message)) {
                    report.findings.push_back({descriptor(slot), message.line, Severity::error,
                                               u"depends on the order: after " + before +
                                                   u" the run shows: " + message.text,
                                               forCampaign});
                }
            }
            for (const Message& message : own) {
                if (conflictAt.count({slot, message.line}) != 0) {
                    continue;
                }
                if (after.count(message) < own.count(message)) {
                    report.findings.push_back(
                        {descriptor(slot), message.line, Severity::warning,
                         u"depends on the order: alone the run shows, after " + before +
                             u" it does not: " + message.text,
                         forCampaign});
                }
            }
        }
    }
}

} // namespace

std::vector<std::u16string> selectionMessages(Catalogue& catalogue, const CampaignEntry& campaign,
                                              const std::vector<std::int16_t>& slots) {
    const Outcome outcome = runSelection(catalogue, slots, gameAfterSwitch(campaign.folder));
    std::vector<const Message*> all;
    for (const auto& [slot, messages] : outcome.messages) {
        for (const Message& message : messages) {
            all.push_back(&message);
        }
    }
    std::sort(all.begin(), all.end(),
              [](const Message* a, const Message* b) { return a->order < b->order; });
    std::vector<std::u16string> texts;
    for (const Message* message : all) {
        texts.push_back(message->text);
    }
    return texts;
}

void checkScripts(Catalogue& catalogue, const CheckOptions& options, CheckReport& report) {
    std::set<std::int16_t> scripts;
    for (const CampaignEntry& campaign : catalogue.campaignList) {
        if (!isChosen(options.campaigns, campaign.folder)) {
            continue;
        }
        ++report.campaigns;
        checkCampaign(catalogue, campaign, options, report);
        for (const std::int16_t slot : campaignScripts(catalogue, campaign)) {
            if (isChosen(options.scripts,
                         catalogue.scriptList[static_cast<std::size_t>(slot)].fileName)) {
                scripts.insert(slot);
            }
        }
    }
    report.scripts = scripts.size();
}
