#include "app/ui/OpenForEditing.h"

#include <sys/stat.h>

#include "M2 Launcher/OpenFiles/OpenFileManager.h"

namespace m2 {
namespace {

std::string collapsedSlashes(const std::string& path) {
    std::string out;
    out.reserve(path.size());
    for (const char c : path) {
        if (c != '/' || out.empty() || out.back() != '/') {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace

bool isOpenForEditing(const std::string& encryptedPath) {
    OpenFileManager& list = OpenFileManager::instance();
    list.load();
    const std::string wanted = collapsedSlashes(encryptedPath);
    for (const OpenFileItem& item : list.openFiles()) {
        struct stat info {};
        if (collapsedSlashes(item.encryptedPath) == wanted &&
            ::lstat(item.plainPath.c_str(), &info) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace m2
