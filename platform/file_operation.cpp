#include "platform/file_operation.h"

#include "platform/unicode.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <set>

namespace platform {
namespace {
std::atomic<long> operationCount{0};
std::atomic<long> failOperation{0};
std::atomic<long> stopAfter{0};
std::atomic<bool> exitOnStop{false};

std::mutex temporariesLock;
std::set<std::u16string, std::less<>> temporaries;
} // namespace

void setFaultPlan(const FaultPlan& plan) {
    operationCount = 0;
    failOperation = plan.failOperation;
    stopAfter = plan.stopAfter;
    exitOnStop = plan.exitOnStop;
    const std::lock_guard lock(temporariesLock);
    temporaries.clear();
}

std::size_t temporaryFilesLeft() {
    const std::lock_guard lock(temporariesLock);
    return temporaries.size();
}

long fileOperationCount() {
    return operationCount.load();
}

namespace detail {

void noteTemporaryMade(const std::u16string& path) {
    const std::lock_guard lock(temporariesLock);
    temporaries.insert(path);
}

void noteTemporaryGone(std::u16string_view path) {
    const std::lock_guard lock(temporariesLock);
    if (const auto made = temporaries.find(path); made != temporaries.end()) {
        temporaries.erase(made);
    }
}

bool beginOperation() {
    const long n = ++operationCount;
    const long stop = stopAfter.load();
    if (stop > 0 && n > stop) {
        if (exitOnStop) {
            std::_Exit(3);
        }
        return false;
    }
    return n != failOperation.load();
}

bool isLinkEntry(std::uint32_t attributes, std::uint32_t reparseTag) {
    return (attributes & reparsePointAttribute) != 0 &&
           (reparseTag == 0 || (reparseTag & nameSurrogateTagBit) != 0);
}

bool wildcardMatches(std::u16string_view pattern, std::u16string_view name) {
    if (pattern == u"*" || pattern == u"*.*") {
        return true;
    }
    // Iterative match with backtracking over the last "*".
    std::size_t p = 0, n = 0, starP = std::u16string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == u'?' || upperCase(pattern[p]) == upperCase(name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (starP != std::u16string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') {
        ++p;
    }
    return p == pattern.size();
}

void sortEntries(std::vector<FolderEntry>& entries) {
    std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
        const std::size_t n = std::min(a.name.size(), b.name.size());
        for (std::size_t i = 0; i < n; ++i) {
            if (a.name[i] == b.name[i]) {
                continue; // names share most of their start: no case to fold there
            }
            const char16_t x = upperCase(a.name[i]), y = upperCase(b.name[i]);
            if (x != y) {
                return x < y;
            }
        }
        return a.name.size() < b.name.size();
    });
}

void splitPattern(std::u16string_view pattern, std::u16string& folder,
                  std::u16string& namePattern) {
    const std::size_t slash = pattern.find_last_of(u"\\/");
    if (slash == std::u16string_view::npos) {
        folder = u".";
        namePattern = std::u16string(pattern);
    } else {
        folder = std::u16string(pattern.substr(0, slash));
        namePattern = std::u16string(pattern.substr(slash + 1));
        if (folder.empty()) {
            folder = u"\\";
        }
    }
}

} // namespace detail
bool isTemporaryFileName(std::u16string_view name) {
    constexpr std::u16string_view prefix = u"~dravik";
    constexpr std::u16string_view suffix = u".tmp";
    if (name.size() != prefix.size() + 6 + suffix.size() || !name.starts_with(prefix) ||
        !name.ends_with(suffix)) {
        return false;
    }
    for (const char16_t c : name.substr(prefix.size(), 6)) {
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'))) {
            return false;
        }
    }
    return true;
}

std::u16string temporaryFileName(unsigned number) {
    constexpr char16_t digits[] = u"0123456789abcdef";
    std::u16string name = u"~dravik";
    for (int shift = 20; shift >= 0; shift -= 4) {
        name += digits[(number >> shift) & 0xF];
    }
    return name + u".tmp";
}

} // namespace platform
