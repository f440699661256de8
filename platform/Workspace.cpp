#include "platform/Workspace.h"

#include <gio/gio.h>

#include <cstdio>

#include "platform/Installed.h"

namespace m2::platform {
namespace {

Installed<Workspace, GioWorkspace> g_workspace;

template <typename T, void (*Free)(T*)>
struct GFree {
    void operator()(T* p) const { Free(p); }
};
using GFilePtr = std::unique_ptr<GFile, GFree<void, g_object_unref>>;
using GCharPtr = std::unique_ptr<gchar, GFree<void, g_free>>;
using GErrorPtr = std::unique_ptr<GError, GFree<GError, g_error_free>>;

}  // namespace

namespace {

bool launchDefaultFor(const char* uri, const char* what) {
    GError* raw = nullptr;
    const bool launched = g_app_info_launch_default_for_uri(uri, nullptr, &raw) != FALSE;
    const GErrorPtr error(raw);
    if (!launched && error) {
        std::printf("Unable to open %s. ERROR: %s\n", what, error->message);
        std::fflush(stdout);
    }
    return launched;
}

}  // namespace

bool GioWorkspace::openFile(const std::string& path) {
    const GFilePtr file(g_file_new_for_path(path.c_str()));
    const GCharPtr uri(g_file_get_uri(static_cast<GFile*>(file.get())));
    return launchDefaultFor(uri.get(), "file");
}

bool GioWorkspace::openURL(const std::string& url) {
    return launchDefaultFor(url.c_str(), "web page");
}

Workspace& workspace() {
    return g_workspace.get();
}

std::shared_ptr<Workspace> setWorkspace(std::shared_ptr<Workspace> replacement) {
    return g_workspace.install(std::move(replacement));
}

std::string fileUrlText(const std::string& absolutePath) {
    GError* raw = nullptr;
    const GCharPtr uri(g_filename_to_uri(absolutePath.c_str(), nullptr, &raw));
    const GErrorPtr error(raw);
    return uri ? std::string(uri.get()) : std::string();
}

}  // namespace m2::platform
