// Idle time from the desktop over the session bus, for Wayland sessions: GNOME's compositor,
// and the freedesktop screen saver that KDE Plasma answers.

#include <gio/gio.h>

#include <memory>
#include <string_view>

#include "platform/GlibHandles.h"
#include "platform/Idle.h"
#include "platform/IdleBus.h"

namespace m2::platform {
namespace {

constexpr int callTimeoutMs = 1000;  // the one-second idle poll must never stall

class BusIdleTimeSource final : public IdleTimeSource {
  public:
    BusIdleTimeSource(IdleSourceKind kind, IdleBusMethod call) : kind_(kind), call_(call) {}

    IdleSourceKind kind() const override { return kind_; }
    std::optional<std::uint64_t> idleMilliseconds() override { return callIdleMethod(call_); }

  private:
    IdleSourceKind kind_;
    IdleBusMethod call_;
};

}  // namespace

std::optional<std::uint64_t> callIdleMethod(const IdleBusMethod& call) {
    GError* raw = nullptr;
    // The bus connection is shared and cached by GIO; asking again each time follows a bus
    // that was restarted.
    const GObjectPtr<GDBusConnection> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &raw));
    if (!bus) {
        GErrorPtr{raw};
        return std::nullopt;
    }
    const GVariantPtr reply(
        g_dbus_connection_call_sync(bus.get(), call.service, call.objectPath, call.interface,
                                    call.method, nullptr, G_VARIANT_TYPE(call.replyType),
                                    G_DBUS_CALL_FLAGS_NO_AUTO_START, callTimeoutMs, nullptr, &raw));
    const GErrorPtr error(raw);
    if (!reply) {
        return std::nullopt;
    }
    if (std::string_view(call.replyType) == "(u)") {
        guint32 milliseconds = 0;
        g_variant_get(reply.get(), "(u)", &milliseconds);
        return milliseconds;
    }
    guint64 milliseconds = 0;
    g_variant_get(reply.get(), "(t)", &milliseconds);
    return static_cast<std::uint64_t>(milliseconds);
}

std::unique_ptr<IdleTimeSource> makeMutterIdleTimeSource() {
    return std::make_unique<BusIdleTimeSource>(
        IdleSourceKind::mutterIdleMonitor,
        IdleBusMethod{"org.gnome.Mutter.IdleMonitor", "/org/gnome/Mutter/IdleMonitor/Core",
                      "org.gnome.Mutter.IdleMonitor", "GetIdletime", "(t)"});
}

std::unique_ptr<IdleTimeSource> makeScreenSaverIdleTimeSource() {
    return std::make_unique<BusIdleTimeSource>(
        IdleSourceKind::freedesktopScreenSaver,
        IdleBusMethod{"org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver",
                      "org.freedesktop.ScreenSaver", "GetSessionIdleTime", "(u)"});
}

}  // namespace m2::platform
