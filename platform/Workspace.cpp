#include "platform/Workspace.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "platform/GlibHandles.h"
#include "platform/Installed.h"

namespace fs = std::filesystem;

namespace m2::platform {
namespace {

Installed<Workspace, GioWorkspace> g_workspace;

using GCharPtr = std::unique_ptr<gchar, GlibFree<void, g_free>>;
using GKeyFilePtr = std::unique_ptr<GKeyFile, GlibFree<GKeyFile, g_key_file_unref>>;

// How long the file manager may take to answer ShowItems.
constexpr int kFileManagerTimeoutMs = 3000;

std::string messageOf(const GErrorPtr& error, const char* otherwise) {
    return error ? std::string(error->message) : std::string(otherwise);
}

// An entry that asks to be started over D-Bus gives no process to wait for; its copy without
// "DBusActivatable" starts its Exec line instead, and that process is the one to wait for.
GObjectPtr<GDesktopAppInfo> startedByExec(GDesktopAppInfo* app) {
    GObjectPtr<GDesktopAppInfo> same(G_DESKTOP_APP_INFO(g_object_ref(app)));
    const char* file = g_desktop_app_info_get_filename(app);
    if (g_desktop_app_info_get_boolean(app, "DBusActivatable") == FALSE || file == nullptr) {
        return same;
    }
    const GKeyFilePtr keys(g_key_file_new());
    if (g_key_file_load_from_file(keys.get(), file, G_KEY_FILE_KEEP_TRANSLATIONS, nullptr) ==
        FALSE) {
        return same;
    }
    (void)g_key_file_remove_key(keys.get(), G_KEY_FILE_DESKTOP_GROUP,
                                G_KEY_FILE_DESKTOP_KEY_DBUS_ACTIVATABLE, nullptr);
    GObjectPtr<GDesktopAppInfo> copy(g_desktop_app_info_new_from_keyfile(keys.get()));
    return copy ? std::move(copy) : std::move(same);
}

void collectPid(GDesktopAppInfo*, GPid pid, gpointer pids) {
    static_cast<std::vector<GPid>*>(pids)->push_back(pid);
}

// Waits for `pid` and fills in how it ended.
void waitFor(GPid pid, WaitedApplication& answer) {
    int status = 0;
    pid_t waited = -1;
    while ((waited = ::waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    if (waited < 0) {
        answer.outcome = WaitedApplication::Outcome::NoProcess;
        return;
    }
    answer.outcome = WaitedApplication::Outcome::Ended;
    if (WIFEXITED(status)) {
        answer.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        answer.signal = WTERMSIG(status);
    }
}

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
    const GObjectPtr<GFile> file(g_file_new_for_path(path.c_str()));
    const GCharPtr uri(g_file_get_uri(file.get()));
    return launchDefaultFor(uri.get(), "file");
}

bool GioWorkspace::openURL(const std::string& url) {
    return launchDefaultFor(url.c_str(), "web page");
}

WaitedApplication GioWorkspace::openFileAndWait(const std::string& path) {
    using Outcome = WaitedApplication::Outcome;
    const GObjectPtr<GFile> file(g_file_new_for_path(path.c_str()));
    GError* raw = nullptr;
    const GObjectPtr<GAppInfo> handler(g_file_query_default_handler(file.get(), nullptr, &raw));
    GErrorPtr error(raw);
    if (!handler) {
        return {Outcome::NoApplication,
                -1,
                0,
                {},
                messageOf(error, "No application is registered for this file")};
    }
    if (!G_IS_DESKTOP_APP_INFO(handler.get())) {
        // Not a desktop entry: it can be started, but not waited for.
        GList one{file.get(), nullptr, nullptr};
        const bool launched = g_app_info_launch(handler.get(), &one, nullptr, &raw) != FALSE;
        error.reset(raw);
        return launched ? WaitedApplication{Outcome::NoProcess, -1, 0, {}, {}}
                        : WaitedApplication{Outcome::LaunchFailed,
                                            -1,
                                            0,
                                            {},
                                            messageOf(error, "The application did not start")};
    }

    const GObjectPtr<GDesktopAppInfo> app = startedByExec(G_DESKTOP_APP_INFO(handler.get()));
    const GCharPtr uri(g_file_get_uri(file.get()));
    GList uris{uri.get(), nullptr, nullptr};
    std::vector<GPid> pids;
    const auto started = std::chrono::steady_clock::now();
    // No shell: GIO puts the file into the entry's argument list as one argument, and the
    // child is left unreaped so that this thread can wait for it.
    const bool launched =
        g_desktop_app_info_launch_uris_as_manager(
            app.get(), &uris, nullptr,
            static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD), nullptr,
            nullptr, collectPid, &pids, &raw) != FALSE;
    error.reset(raw);
    if (!launched) {
        return {
            Outcome::LaunchFailed, -1, 0, {}, messageOf(error, "The application did not start")};
    }
    WaitedApplication answer{Outcome::NoProcess, -1, 0, {}, {}};
    for (const GPid pid : pids) {
        waitFor(pid, answer);
    }
    if (answer.outcome == Outcome::Ended) {
        answer.runTime = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - started);
    }
    return answer;
}

bool GioWorkspace::revealFile(const std::string& path) {
    const fs::path absolute = fs::absolute(path);
    GError* raw = nullptr;
    const GObjectPtr<GDBusConnection> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &raw));
    GErrorPtr error(raw);
    if (bus) {
        GVariantBuilder items;
        g_variant_builder_init(&items, G_VARIANT_TYPE_STRING_ARRAY);
        g_variant_builder_add(&items, "s", fileUrlText(absolute.string()).c_str());
        const GVariantPtr reply(g_dbus_connection_call_sync(
            bus.get(), "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
            "org.freedesktop.FileManager1", "ShowItems", g_variant_new("(ass)", &items, ""),
            nullptr, G_DBUS_CALL_FLAGS_NONE, kFileManagerTimeoutMs, nullptr, &raw));
        error.reset(raw);
        if (reply) {
            return true;
        }
    }
    // No file manager on the bus: its folder at least, without the selection.
    return openFile(absolute.parent_path().string());
}

std::optional<fs::path> GioWorkspace::launcherLocation() {
    return findLauncher();
}

LaunchResult GioWorkspace::startLauncher(const fs::path& launcher, const std::string& documentPath,
                                         std::string_view password) {
    return platform::startLauncher(launcher, documentPath, password);
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
