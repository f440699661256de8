// Idle time from GNOME's compositor over the session bus, for Wayland sessions.

#include <gio/gio.h>

#include <memory>

#include "platform/GlibHandles.h"
#include "platform/Idle.h"

namespace m2::platform {
namespace {

constexpr int callTimeoutMs = 1000;  // the one-second idle poll must never stall

class MutterIdleTimeSource final : public IdleTimeSource {
  public:
    IdleSourceKind kind() const override { return IdleSourceKind::mutterIdleMonitor; }

    std::optional<std::uint64_t> idleMilliseconds() override {
        GError* raw = nullptr;
        // The bus connection is shared and cached by GIO; asking again each time follows a
        // bus that was restarted.
        const GObjectPtr<GDBusConnection> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &raw));
        if (!bus) {
            GErrorPtr{raw};
            return std::nullopt;
        }
        const GVariantPtr reply(g_dbus_connection_call_sync(
            bus.get(), "org.gnome.Mutter.IdleMonitor", "/org/gnome/Mutter/IdleMonitor/Core",
            "org.gnome.Mutter.IdleMonitor", "GetIdletime", nullptr, G_VARIANT_TYPE("(t)"),
            G_DBUS_CALL_FLAGS_NO_AUTO_START, callTimeoutMs, nullptr, &raw));
        const GErrorPtr error(raw);
        if (!reply) {
            return std::nullopt;
        }
        guint64 milliseconds = 0;
        g_variant_get(reply.get(), "(t)", &milliseconds);
        return static_cast<std::uint64_t>(milliseconds);
    }
};

}  // namespace

std::unique_ptr<IdleTimeSource> makeMutterIdleTimeSource() {
    return std::make_unique<MutterIdleTimeSource>();
}

}  // namespace m2::platform
