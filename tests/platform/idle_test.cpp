#include <gtest/gtest.h>

#include <cstdlib>

#include "app/services/IdleObject.h"
#include "platform/Idle.h"
#include "support/FakeIdleSource.h"

using namespace m2::platform;

namespace {

TEST(Idle, MillisecondsBecomeNanosecondsShiftedBy30) {
    const struct {
        std::uint64_t ms;
        std::int64_t units;
    } cases[] = {
        {0, 0},        {1073, 0},
        {1074, 1},     {2147, 1},
        {2148, 2},     {193273, 179},  // 180 units are 193.27 s
        {193274, 180}, {UINT64_MAX, INT64_MAX >> 30},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(idleUnitsFromMilliseconds(c.ms), c.units) << c.ms;
    }

    m2::test::FakeIdleSource source;
    const m2::IdleObject idle(source);
    EXPECT_EQ(idle.SystemIdleTime(), -1);
    EXPECT_FALSE(idle.isAvailable());
    source.milliseconds = 5000;
    EXPECT_EQ(idle.SystemIdleTime(), 4);
    EXPECT_TRUE(idle.isAvailable());
}

TEST(Idle, SourceFollowsTheSession) {
    using K = IdleSourceKind;
    const auto none = std::optional<std::string>();
    const struct {
        std::optional<std::string> type, wayland, display, desktop;
        K expected;
    } cases[] = {
        {"x11", none, ":0", "GNOME", K::x11ScreenSaver},
        {none, none, ":1", none, K::x11ScreenSaver},  // a bare X server (Xvfb, startx)
        {"tty", none, ":0", "XFCE", K::x11ScreenSaver},
        {"wayland", "wayland-0", ":0", "GNOME", K::mutterIdleMonitor},  // never Xwayland
        {"wayland", none, ":0", "ubuntu:GNOME", K::mutterIdleMonitor},
        {none, "wayland-0", ":0", "GNOME-Classic:GNOME", K::mutterIdleMonitor},
        {"wayland", "wayland-0", ":0", "KDE", K::freedesktopScreenSaver},
        {"wayland", "wayland-0", ":0", "GNOMEISH", K::freedesktopScreenSaver},
        {"wayland", "wayland-0", ":0", none, K::freedesktopScreenSaver},
        {"x11", none, none, "GNOME", K::none},
        {none, none, none, none, K::none},
        {"mir", none, ":0", none, K::none},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type.value_or("-") + " " + c.wayland.value_or("-") + " " +
                     c.display.value_or("-") + " " + c.desktop.value_or("-"));
        EXPECT_EQ(chooseIdleSource({c.type, c.wayland, c.display, c.desktop}), c.expected);
    }
}

TEST(Idle, UnavailableSourcesAnswerNothing) {
    EXPECT_FALSE(makeIdleTimeSource(IdleSourceKind::none)->idleMilliseconds());

    // No compositor reachable: the Wayland source gives up rather than guessing.
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/m2-no-bus", 1);
    for (const auto kind :
         {IdleSourceKind::mutterIdleMonitor, IdleSourceKind::freedesktopScreenSaver}) {
        const auto bus = makeIdleTimeSource(kind);
        EXPECT_EQ(bus->kind(), kind);
        EXPECT_FALSE(bus->idleMilliseconds());
    }

    // No X server: DISPLAY names nothing.
    setenv("DISPLAY", ":9999", 1);
    const auto x11 = makeIdleTimeSource(IdleSourceKind::x11ScreenSaver);
    EXPECT_EQ(x11->kind(), IdleSourceKind::x11ScreenSaver);
    EXPECT_FALSE(x11->idleMilliseconds());
}

}  // namespace
