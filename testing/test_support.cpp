#include "testing/test_support.h"

#include "platform/file_system.h"
#include "platform/safe_write.h"
#include "platform/unicode.h"

#include <algorithm>
#include <atomic>

namespace testing_support {

std::string utf8(std::u16string_view text) {
    return platform::utf16ToUtf8(text);
}

ScratchFolder::ScratchFolder() {
    platform::setFaultPlan({});
    previous_ = platform::currentDirectory();
    static std::atomic<int> counter{0};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::u16string name = platform::utf8ToUtf16(
        info ? std::string(info->test_suite_name()) + "." + info->name() : "test");
    std::replace(name.begin(), name.end(), u'/', u'_');
    platform::createFolder(u"scratch");
    do {
        path_ = previous_ + u"\\scratch\\" + name + u"-" +
                platform::utf8ToUtf16(std::to_string(counter++));
        removeTree(path_); // left by an earlier, failed run
    } while (!platform::createFolder(path_));
    platform::setCurrentDirectory(path_);
}

ScratchFolder::~ScratchFolder() {
    platform::setFaultPlan({});
    platform::setCurrentDirectory(previous_);
    if (!::testing::Test::HasFailure()) {
        removeTree(path_);
    }
}

void makeFolders(std::u16string_view path) {
    for (std::size_t slash = path.find(u'\\', 1); slash != std::u16string_view::npos;
         slash = path.find(u'\\', slash + 1)) {
        platform::createFolder(path.substr(0, slash));
    }
    platform::createFolder(path);
}

void writeFile(std::u16string_view path, std::string_view bytes) {
    makeFolders(platform::folderOf(path));
    ASSERT_TRUE(platform::writeWholeFile(path, bytes)) << utf8(path);
}

std::string readFile(std::u16string_view path) {
    std::string bytes;
    return platform::readWholeFile(path, bytes) ? bytes : "<missing>";
}

bool exists(std::u16string_view path) {
    return platform::pathExists(path);
}

namespace {
// visit(entry, full path, relative path) for everything below `folder`, depth first; links
// are not descended into.
template <typename Visit>
void walk(const std::u16string& folder, const std::u16string& prefix, Visit visit) {
    std::vector<platform::FolderEntry> entries;
    platform::listFolder(folder + u"\\*", entries);
    for (const auto& entry : entries) {
        const std::u16string full = folder + u"\\" + entry.name;
        visit(entry, full, prefix + entry.name);
        if (entry.isFolder && !entry.isLink) {
            walk(full, prefix + entry.name + u"\\", visit);
        }
    }
}
} // namespace

void removeTree(std::u16string_view path) {
    // Deepest first: the walk's order backwards, each folder after what is in it.
    const std::u16string root(path);
    std::vector<std::pair<std::u16string, bool>> found = {{root, platform::folderExists(root)}};
    walk(root, u"", [&](const auto& entry, const std::u16string& full, const auto&) {
        found.emplace_back(full, entry.isFolder && !entry.isLink);
    });
    for (auto at = found.rbegin(); at != found.rend(); ++at) {
        if (at->second || !platform::deleteFile(at->first)) {
            platform::removeFolder(at->first); // a folder, or a link to one on Windows
        }
    }
}

void copyTree(std::u16string_view from, std::u16string_view to) {
    platform::createFolder(to);
    walk(std::u16string(from), u"", [&](const auto& entry, const auto& full, const auto& relative) {
        const std::u16string target = std::u16string(to) + u"\\" + relative;
        if (entry.isFolder && !entry.isLink) {
            platform::createFolder(target);
        } else if (!entry.isLink) {
            platform::copyFile(full, target, false);
        }
    });
}

Snapshot snapshot(std::u16string_view folder) {
    Snapshot out;
    walk(std::u16string(folder), u"",
         [&](const auto& entry, const auto& full, const auto& relative) {
             if (entry.isLink) {
                 out[relative] = "<link>";
             } else if (entry.isFolder) {
                 out[relative + u"\\"] = "";
             } else if (!platform::isTemporaryFileName(entry.name)) {
                 out[relative] = readFile(full);
             }
         });
    return out;
}

std::string describe(const Snapshot& actual, const Snapshot& expected) {
    std::string text;
    for (const auto& [path, bytes] : actual) {
        const auto other = expected.find(path);
        text += other == expected.end()  ? "  unexpected " + utf8(path) + "\n"
                : other->second != bytes ? "  differs " + utf8(path) + "\n"
                                         : "";
    }
    for (const auto& [path, bytes] : expected) {
        text += actual.count(path) ? "" : "  missing " + utf8(path) + "\n";
    }
    return text;
}

std::size_t temporaryFilesLeft() {
    std::size_t count = 0;
    walk(u".", u"", [&](const auto& entry, const auto&, const auto&) {
        count += !entry.isFolder && platform::isTemporaryFileName(entry.name);
    });
    return count;
}

std::string keptSecondNames(const std::vector<std::u16string>& others) {
    const std::u16string tree = u"campaign\\backup\\";
    std::map<platform::FileIdentity, std::u16string> live;
    std::vector<std::u16string> kept;
    for (const std::u16string& other : others) {
        if (platform::FileIdentity identity; platform::fileIdentity(other, identity)) {
            live.emplace(identity, other);
        }
    }
    walk(u"data", u"", [&](const auto& entry, const auto& full, const auto& relative) {
        platform::FileIdentity identity;
        if (entry.isFolder || entry.isLink) {
            return;
        }
        if (relative.starts_with(tree)) {
            kept.push_back(full);
        } else if (platform::fileIdentity(full, identity)) {
            live.emplace(identity, full);
        }
    });
    std::string text;
    for (const std::u16string& copy : kept) {
        platform::FileIdentity identity;
        if (platform::fileIdentity(copy, identity)) {
            if (const auto file = live.find(identity); file != live.end()) {
                text += "  " + utf8(copy) + " is " + utf8(file->second) + "\n";
            }
        }
    }
    return text;
}

std::u16string sourceDirectory() {
    std::u16string path = platform::utf8ToUtf16(DRAVIK_SOURCE_DIR);
#ifdef _WIN32
    std::replace(path.begin(), path.end(), u'/', u'\\');
    path = u"Z:" + path; // Wine maps the Linux root to drive Z:
#endif
    return path;
}

void copySampleGame() {
    copyTree(sourceDirectory() + u"\\sample\\game", u".");
}

} // namespace testing_support
