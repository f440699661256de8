// A stand-in file manager for tests, run inside a private session bus (dbus-run-session):
// owns org.freedesktop.FileManager1, appends every URI that ShowItems receives to RECORD (one
// a line), starts COMMAND as its child and ends with the child's exit status.
//   file_manager RECORD COMMAND [ARGUMENT...]
#include <gio/gio.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

constexpr const char* kInterface = R"(
<node>
  <interface name="org.freedesktop.FileManager1">
    <method name="ShowItems">
      <arg type="as" name="uris" direction="in"/>
      <arg type="s" name="startupId" direction="in"/>
    </method>
  </interface>
</node>)";

struct State {
    std::string record;
    GMainLoop* loop = nullptr;
    int status = 1;
};

void onCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
            GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
    const auto* state = static_cast<State*>(data);
    GVariantIter* uris = nullptr;
    const gchar* startup = nullptr;
    g_variant_get(parameters, "(as&s)", &uris, &startup);
    std::ofstream out(state->record, std::ios::app);
    const gchar* uri = nullptr;
    while (g_variant_iter_next(uris, "&s", &uri)) {
        out << uri << '\n';
    }
    g_variant_iter_free(uris);
    g_dbus_method_invocation_return_value(invocation, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: file_manager RECORD COMMAND [ARGUMENT...]\n");
        return 64;
    }
    State state{argv[1], g_main_loop_new(nullptr, FALSE), 1};
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kInterface, nullptr);
    static const GDBusInterfaceVTable vtable = {onCall, nullptr, nullptr, {}};
    if (bus == nullptr || node == nullptr ||
        g_dbus_connection_register_object(bus, "/org/freedesktop/FileManager1", node->interfaces[0],
                                          &vtable, &state, nullptr, nullptr) == 0) {
        return 70;
    }
    GVariant* owned = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
        g_variant_new("(su)", "org.freedesktop.FileManager1", 0u), G_VARIANT_TYPE("(u)"),
        G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
    if (owned == nullptr) {
        return 70;
    }
    g_variant_unref(owned);

    GPid child = 0;
    if (g_spawn_async(nullptr, argv + 2, nullptr, G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr,
                      &child, nullptr) == FALSE) {
        return 71;
    }
    g_child_watch_add(
        child,
        [](GPid, gint status, gpointer data) {
            auto* state = static_cast<State*>(data);
            state->status = WIFEXITED(status) ? WEXITSTATUS(status) : 1;
            g_main_loop_quit(state->loop);
        },
        &state);
    g_main_loop_run(state.loop);
    g_dbus_node_info_unref(node);
    g_object_unref(bus);
    g_main_loop_unref(state.loop);
    return state.status;
}
