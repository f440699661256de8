#include "platform/Idle.h"

#include <string_view>

#include "platform/Environment.h"

namespace m2::platform {
namespace {

bool listsGnome(std::string_view desktops) {
    while (!desktops.empty()) {
        const auto colon = desktops.find(':');
        if (desktops.substr(0, colon) == "GNOME") {
            return true;
        }
        desktops =
            colon == std::string_view::npos ? std::string_view() : desktops.substr(colon + 1);
    }
    return false;
}

class NoIdleTimeSource final : public IdleTimeSource {
  public:
    IdleSourceKind kind() const override { return IdleSourceKind::none; }
    std::optional<std::uint64_t> idleMilliseconds() override { return std::nullopt; }
};

}  // namespace

// Defined beside their libraries.
std::unique_ptr<IdleTimeSource> makeX11IdleTimeSource();
std::unique_ptr<IdleTimeSource> makeMutterIdleTimeSource();
std::unique_ptr<IdleTimeSource> makeScreenSaverIdleTimeSource();

SessionEnvironment SessionEnvironment::ofProcess() {
    return {environmentValue("XDG_SESSION_TYPE"), environmentValue("WAYLAND_DISPLAY"),
            environmentValue("DISPLAY"), environmentValue("XDG_CURRENT_DESKTOP")};
}

IdleSourceKind chooseIdleSource(const SessionEnvironment& environment) {
    const bool wayland = environment.sessionType == "wayland" || environment.waylandDisplay;
    if (wayland) {
        const bool gnome = environment.currentDesktop && listsGnome(*environment.currentDesktop);
        return gnome ? IdleSourceKind::mutterIdleMonitor : IdleSourceKind::freedesktopScreenSaver;
    }
    if (environment.display &&
        (!environment.sessionType || *environment.sessionType == "x11" ||
         *environment.sessionType == "tty" || *environment.sessionType == "unspecified")) {
        return IdleSourceKind::x11ScreenSaver;
    }
    return IdleSourceKind::none;
}

std::unique_ptr<IdleTimeSource> makeIdleTimeSource(IdleSourceKind kind) {
    switch (kind) {
        case IdleSourceKind::x11ScreenSaver:
            return makeX11IdleTimeSource();
        case IdleSourceKind::mutterIdleMonitor:
            return makeMutterIdleTimeSource();
        case IdleSourceKind::freedesktopScreenSaver:
            return makeScreenSaverIdleTimeSource();
        case IdleSourceKind::none:
            break;
    }
    return std::make_unique<NoIdleTimeSource>();
}

IdleTimeSource& systemIdleTimeSource() {
    static const std::unique_ptr<IdleTimeSource> source =
        makeIdleTimeSource(chooseIdleSource(SessionEnvironment::ofProcess()));
    return *source;
}

}  // namespace m2::platform
