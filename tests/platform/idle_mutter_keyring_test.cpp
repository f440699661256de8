// Needs a private session bus (the keyring label provides one): a stand-in compositor
// serves org.gnome.Mutter.IdleMonitor there and the Wayland idle source reads it.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "app/services/IdleObject.h"
#include "platform/Idle.h"

using namespace m2::platform;

namespace {

constexpr const char* introspection = R"(
<node>
  <interface name="org.gnome.Mutter.IdleMonitor">
    <method name="GetIdletime"><arg type="t" name="idletime" direction="out"/></method>
  </interface>
</node>)";

class FakeIdleMonitor {
  public:
    FakeIdleMonitor() : context_(g_main_context_new()), loop_(g_main_loop_new(context_, FALSE)) {
        std::promise<bool> ready;
        auto started = ready.get_future();
        thread_ = std::thread([this, &ready] { serve(ready); });
        ok_ = started.get();
    }
    ~FakeIdleMonitor() {
        g_main_loop_quit(loop_);
        thread_.join();
        g_main_loop_unref(loop_);
        g_main_context_unref(context_);
    }
    [[nodiscard]] bool ok() const { return ok_; }

    std::atomic<guint64> idleMilliseconds{0};

  private:
    void serve(std::promise<bool>& ready) {
        g_main_context_push_thread_default(context_);
        GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
            g_getenv("DBUS_SESSION_BUS_ADDRESS"),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(introspection, nullptr);
        static const GDBusInterfaceVTable vtable = {
            [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant*,
               GDBusMethodInvocation* invocation, gpointer self) {
                const guint64 ms = static_cast<FakeIdleMonitor*>(self)->idleMilliseconds;
                g_dbus_method_invocation_return_value(invocation, g_variant_new("(t)", ms));
            },
            nullptr,
            nullptr,
            {}};
        bool served = false;
        if (bus != nullptr && node != nullptr) {
            served = g_dbus_connection_register_object(bus, "/org/gnome/Mutter/IdleMonitor/Core",
                                                       node->interfaces[0], &vtable, this, nullptr,
                                                       nullptr) != 0;
            GVariant* reply = g_dbus_connection_call_sync(
                bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                "RequestName", g_variant_new("(su)", "org.gnome.Mutter.IdleMonitor", 0u),
                G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
            served = served && reply != nullptr;
            if (reply != nullptr) {
                g_variant_unref(reply);
            }
        }
        ready.set_value(served);
        if (served) {
            g_main_loop_run(loop_);
        }
        if (node != nullptr) {
            g_dbus_node_info_unref(node);
        }
        if (bus != nullptr) {
            g_dbus_connection_close_sync(bus, nullptr, nullptr);
            g_object_unref(bus);
        }
        g_main_context_pop_thread_default(context_);
    }

    GMainContext* context_;
    GMainLoop* loop_;
    std::thread thread_;
    bool ok_ = false;
};

TEST(IdleMutter, ReadsTheCompositorsIdleTime) {
    const auto source = makeIdleTimeSource(IdleSourceKind::mutterIdleMonitor);
    EXPECT_FALSE(source->idleMilliseconds());  // nobody serves it yet

    FakeIdleMonitor compositor;
    ASSERT_TRUE(compositor.ok()) << "no session bus?";
    compositor.idleMilliseconds = 1074;
    EXPECT_EQ(source->idleMilliseconds(), 1074u);
    EXPECT_EQ(m2::IdleObject(*source).SystemIdleTime(), 1);
    compositor.idleMilliseconds = 3'600'000;
    EXPECT_EQ(m2::IdleObject(*source).SystemIdleTime(), 3352);
}

}  // namespace
