#include "platform/file_operation.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

namespace platform {
namespace {
std::atomic<long> operationCount{0};
std::atomic<long> failOperation{0};
std::atomic<long> stopAfter{0};
std::atomic<bool> exitOnStop{false};

char16_t upper(char16_t c) {
    // Only ASCII letters and Latin-1 letters fold; that is all game paths use, and it is
    // what the case-insensitive comparison of file names does for them.
    if (c >= u'a' && c <= u'z') {
        return static_cast<char16_t>(c - 32);
    }
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) {
        return static_cast<char16_t>(c - 32);
    }
    return c;
}
} // namespace

void setFaultPlan(const FaultPlan& plan) {
    operationCount = 0;
    failOperation = plan.failOperation;
    stopAfter = plan.stopAfter;
    exitOnStop = plan.exitOnStop;
}

long fileOperationCount() {
    return operationCount.load();
}

namespace detail {

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

bool wildcardMatches(std::u16string_view pattern, std::u16string_view name) {
    if (pattern == u"*" || pattern == u"*.*") {
        return true;
    }
    // Iterative match with backtracking over the last "*".
    std::size_t p = 0, n = 0, starP = std::u16string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || upper(pattern[p]) == upper(name[n]))) {
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
            const char16_t x = upper(a.name[i]), y = upper(b.name[i]);
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
} // namespace platform
