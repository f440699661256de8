#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace m2 {

// The cloud rescan in three steps: the main thread takes a CloudSnapshot of the cloud
// subtree and the library, a background queue turns it into a CloudPlan by reading the
// disk only, and the main thread applies the plan. Nothing here touches the models.

// One cloud folder node as the main thread saw it.
struct CloudScanNode {
    std::string id;
    std::string path;  // its folder on disk, without trailing slashes
    // Names of the entries filed under the node whose directory is `path`.
    std::unordered_set<std::string> knownFiles;
    std::vector<CloudScanNode> children;
};

struct CloudScanEntry {
    std::string id;
    std::string filePath;
    std::string fileName;
};

struct CloudSnapshot {
    std::vector<CloudScanNode> providers;  // the cloud root's children, in order
    std::vector<CloudScanEntry> entries;   // every library entry, cloud or not
};

struct CloudPlan {
    struct NewFolder {
        std::string id;  // made in the background, so files below can name their folder
        std::string parentId;
        std::string name;
        std::string path;
    };
    struct NewFile {
        std::string parentId;
        std::string path;  // the file's full path
    };

    // Ids of nodes whose folder is gone, in the order found.
    std::vector<std::string> foldersToDelete;
    // Parents before their children.
    std::vector<NewFolder> newFolders;
    std::vector<NewFile> newFiles;
    // Ids of nodes whose children changed, without repeats.
    std::vector<std::string> foldersToReload;
    // Ids of library entries whose file is gone.
    std::vector<std::string> missingEntries;
    // Provider roots that could not be reached; nothing below them was compared or swept.
    std::vector<std::string> unreachableRoots;
};

// Compares every provider folder with the disk and finds the library entries whose files
// are gone. Hidden names are never added; directory links are followed, but never into a
// folder that is already on the way down (a link cycle). Safe on any thread.
[[nodiscard]] CloudPlan planCloudRescan(const CloudSnapshot& snapshot);

// A folder path as the cloud code stores and compares it: trailing slashes removed, "/"
// kept.
[[nodiscard]] std::string withoutTrailingSlashes(std::string_view path);

// True when `path` is `folder` itself or lies below it; `folder` without trailing slash.
[[nodiscard]] bool isAtOrBelow(std::string_view path, std::string_view folder);

}  // namespace m2
