// Needs a private session bus (the keyring label provides one): stand-in desktops serve
// org.gnome.Mutter.IdleMonitor and org.freedesktop.ScreenSaver there, and the Wayland idle
// sources read them.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <string>
#include <string_view>
#include <thread>

#include "app/services/IdleObject.h"
#include "platform/Idle.h"

using namespace m2::platform;

namespace {

// One idle service of a desktop: its bus name, object, interface, method and reply type.
struct IdleService {
    const char* name;
    const char* path;
    const char* interface;
    const char* method;
    const char* type;  // "t" or "u"

    [[nodiscard]] std::string introspection() const {
        return std::string("<node><interface name=\"") + interface + "\"><method name=\"" + method +
               "\"><arg type=\"" + type +
               "\" name=\"idletime\" direction=\"out\"/></method></interface></node>";
    }
};

constexpr IdleService mutter{"org.gnome.Mutter.IdleMonitor", "/org/gnome/Mutter/IdleMonitor/Core",
                             "org.gnome.Mutter.IdleMonitor", "GetIdletime", "t"};
constexpr IdleService screenSaver{"org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver",
                                  "org.freedesktop.ScreenSaver", "GetSessionIdleTime", "u"};

class FakeIdleMonitor {
  public:
    explicit FakeIdleMonitor(IdleService service)
        : service_(service),
          context_(g_main_context_new()),
          loop_(g_main_loop_new(context_, FALSE)) {
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
        GDBusNodeInfo* node =
            g_dbus_node_info_new_for_xml(service_.introspection().c_str(), nullptr);
        static const GDBusInterfaceVTable vtable = {
            [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant*,
               GDBusMethodInvocation* invocation, gpointer self) {
                auto* monitor = static_cast<FakeIdleMonitor*>(self);
                const guint64 ms = monitor->idleMilliseconds;
                g_dbus_method_invocation_return_value(
                    invocation, std::string_view(monitor->service_.type) == "u"
                                    ? g_variant_new("(u)", static_cast<guint32>(ms))
                                    : g_variant_new("(t)", ms));
            },
            nullptr,
            nullptr,
            {}};
        bool served = false;
        if (bus != nullptr && node != nullptr) {
            served = g_dbus_connection_register_object(bus, service_.path, node->interfaces[0],
                                                       &vtable, this, nullptr, nullptr) != 0;
            GVariant* reply = g_dbus_connection_call_sync(
                bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                "RequestName", g_variant_new("(su)", service_.name, 0u), G_VARIANT_TYPE("(u)"),
                G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
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

    IdleService service_;
    GMainContext* context_;
    GMainLoop* loop_;
    std::thread thread_;
    bool ok_ = false;
};

TEST(IdleMutter, ReadsTheCompositorsIdleTime) {
    const auto source = makeIdleTimeSource(IdleSourceKind::mutterIdleMonitor);
    EXPECT_FALSE(source->idleMilliseconds());  // nobody serves it yet

    FakeIdleMonitor compositor(mutter);
    ASSERT_TRUE(compositor.ok()) << "no session bus?";
    compositor.idleMilliseconds = 1074;
    EXPECT_EQ(source->idleMilliseconds(), 1074u);
    EXPECT_EQ(m2::IdleObject(*source).SystemIdleTime(), 1);
    compositor.idleMilliseconds = 3'600'000;
    EXPECT_EQ(m2::IdleObject(*source).SystemIdleTime(), 3352);
}

// KDE Plasma answers the freedesktop screen saver's idle time, in milliseconds, also under
// Wayland; it converts to the same units as the other sources.
TEST(IdleScreenSaver, ReadsTheSessionIdleTime) {
    const auto source = makeIdleTimeSource(IdleSourceKind::freedesktopScreenSaver);
    EXPECT_FALSE(source->idleMilliseconds());  // nobody serves it yet

    FakeIdleMonitor desktop(screenSaver);
    ASSERT_TRUE(desktop.ok()) << "no session bus?";
    desktop.idleMilliseconds = 1073;
    EXPECT_EQ(m2::IdleObject(*source).SystemIdleTime(), 0);
    desktop.idleMilliseconds = 4295;  // just over 4 units: a 3-unit time-out has passed
    EXPECT_EQ(source->idleMilliseconds(), 4295u);
    EXPECT_EQ(m2::IdleObject(*source).SystemIdleTime(), 4);
    desktop.idleMilliseconds = 0xFFFFFFFFu;  // the largest the reply can carry
    EXPECT_EQ(m2::IdleObject(*source).SystemIdleTime(), 3999999);
}

}  // namespace
