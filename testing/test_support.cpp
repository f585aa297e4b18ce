#include "testing/test_support.h"

#include "platform/file_system.h"
#include "platform/unicode.h"

#include <algorithm>
#include <atomic>
#include <chrono>

namespace testing_support {

std::string utf8(std::u16string_view text) {
    return platform::utf16ToUtf8(text);
}

ScratchFolder::ScratchFolder() {
    platform::setFaultPlan({});
    previous_ = platform::currentDirectory();
    static std::atomic<int> counter{0};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::u16string base = u"scratch";
    platform::createFolder(base);
    std::u16string name = platform::utf8ToUtf16(
        info ? std::string(info->test_suite_name()) + "." + info->name() : "test");
    std::replace(name.begin(), name.end(), u'/', u'_');
    for (;;) {
        path_ = previous_ + u"\\" + base + u"\\" + name + u"-" +
                platform::utf8ToUtf16(std::to_string(counter++));
        if (platform::createFolder(path_)) {
            break;
        }
        removeTree(path_);
    }
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
    const std::size_t slash = path.rfind(u'\\');
    if (slash != std::u16string_view::npos) {
        makeFolders(path.substr(0, slash));
    }
    ASSERT_TRUE(platform::writeWholeFile(path, bytes)) << utf8(path);
}

std::string readFile(std::u16string_view path) {
    std::string bytes;
    if (!platform::readWholeFile(path, bytes)) {
        return "<missing>";
    }
    return bytes;
}

bool exists(std::u16string_view path) {
    return platform::pathExists(path);
}

void removeTree(std::u16string_view path) {
    std::vector<platform::FolderEntry> entries;
    if (platform::folderExists(path) &&
        platform::listFolder(std::u16string(path) + u"\\*", entries)) {
        for (const auto& entry : entries) {
            const std::u16string child = std::u16string(path) + u"\\" + entry.name;
            if (entry.isFolder && !entry.isLink) {
                removeTree(child);
            } else if (entry.isFolder) {
                platform::removeFolder(child);
            } else {
                platform::deleteFile(child);
            }
        }
        platform::removeFolder(path);
    } else {
        platform::deleteFile(path);
    }
}

namespace {
void collect(const std::u16string& folder, const std::u16string& prefix,
             std::vector<std::pair<std::u16string, std::string>>& out, std::size_t* temporaries) {
    std::vector<platform::FolderEntry> entries;
    platform::listFolder(folder + u"\\*", entries);
    for (const auto& entry : entries) {
        const std::u16string full = folder + u"\\" + entry.name;
        const std::u16string relative = prefix.empty() ? entry.name : prefix + u"\\" + entry.name;
        if (entry.isFolder) {
            if (!entry.isLink) {
                collect(full, relative, out, temporaries);
            }
        } else if (!platform::isTemporaryFileName(entry.name)) {
            out.emplace_back(relative, readFile(full));
        } else if (temporaries != nullptr) {
            ++*temporaries;
        }
    }
}
} // namespace

void copyTree(std::u16string_view from, std::u16string_view to) {
    platform::createFolder(to);
    std::vector<platform::FolderEntry> entries;
    platform::listFolder(std::u16string(from) + u"\\*", entries);
    for (const auto& entry : entries) {
        const std::u16string source = std::u16string(from) + u"\\" + entry.name;
        const std::u16string target = std::u16string(to) + u"\\" + entry.name;
        if (entry.isLink) {
            continue;
        }
        if (entry.isFolder) {
            copyTree(source, target);
        } else {
            platform::copyFile(source, target, false);
        }
    }
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

std::vector<std::pair<std::u16string, std::string>> snapshotTree(std::u16string_view folder) {
    std::vector<std::pair<std::u16string, std::string>> out;
    collect(std::u16string(folder), u"", out, nullptr);
    return out;
}

std::size_t temporaryFilesLeft() {
    std::vector<std::pair<std::u16string, std::string>> files;
    std::size_t count = 0;
    collect(u".", u"", files, &count);
    return count;
}

} // namespace testing_support
