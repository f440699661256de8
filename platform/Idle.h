#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace m2::platform {

// Where the system-wide idle time comes from.
enum class IdleSourceKind {
    x11ScreenSaver,     // the X11 screen-saver extension of a real X11 session
    mutterIdleMonitor,  // GNOME under Wayland: org.gnome.Mutter.IdleMonitor on the session bus
    // Other Wayland desktops: org.freedesktop.ScreenSaver.GetSessionIdleTime on the session
    // bus, which KDE Plasma answers
    freedesktopScreenSaver,
    none,  // no way to know: the session is never idle
};

// How long the user has not touched keyboard or mouse, session-wide.
class IdleTimeSource {
  public:
    virtual ~IdleTimeSource() = default;
    [[nodiscard]] virtual IdleSourceKind kind() const = 0;
    // Milliseconds since the last input; absent when it cannot be read now.
    [[nodiscard]] virtual std::optional<std::uint64_t> idleMilliseconds() = 0;
};

// The parts of the environment that say which desktop session this is.
struct SessionEnvironment {
    std::optional<std::string> sessionType;     // XDG_SESSION_TYPE
    std::optional<std::string> waylandDisplay;  // WAYLAND_DISPLAY
    std::optional<std::string> display;         // DISPLAY
    std::optional<std::string> currentDesktop;  // XDG_CURRENT_DESKTOP, ":"-separated

    [[nodiscard]] static SessionEnvironment ofProcess();
};

// X11 only in an X11 session: inside Wayland, DISPLAY names Xwayland, whose counter sees
// only the input of X11 clients and would lock a busy user out. Under Wayland, GNOME's
// compositor, else the freedesktop screen saver (a desktop that does not answer it leaves
// the session never idle).
[[nodiscard]] IdleSourceKind chooseIdleSource(const SessionEnvironment& environment);

[[nodiscard]] std::unique_ptr<IdleTimeSource> makeIdleTimeSource(IdleSourceKind kind);

// The source for this process, chosen once from its environment.
[[nodiscard]] IdleTimeSource& systemIdleTimeSource();

// The idle detector's unit: nanoseconds shifted right by 30 (about 1.074 seconds).
[[nodiscard]] constexpr std::int64_t idleUnitsFromMilliseconds(std::uint64_t milliseconds) {
    constexpr std::uint64_t most = static_cast<std::uint64_t>(INT64_MAX) / 1'000'000;
    const std::uint64_t ms = milliseconds < most ? milliseconds : most;
    return static_cast<std::int64_t>(ms * 1'000'000) >> 30;
}

}  // namespace m2::platform
