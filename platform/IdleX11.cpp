// Idle time from the X11 screen-saver extension.

#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

#include <memory>
#include <mutex>

#include "platform/Idle.h"

namespace m2::platform {
namespace {

struct DisplayClose {
    void operator()(Display* d) const { XCloseDisplay(d); }
};
struct XFreeDeleter {
    void operator()(XScreenSaverInfo* p) const { XFree(p); }
};

class X11IdleTimeSource final : public IdleTimeSource {
  public:
    X11IdleTimeSource() : display_(XOpenDisplay(nullptr)), info_(XScreenSaverAllocInfo()) {
        int eventBase = 0, errorBase = 0;
        usable_ =
            display_ && info_ && XScreenSaverQueryExtension(display_.get(), &eventBase, &errorBase);
    }

    IdleSourceKind kind() const override { return IdleSourceKind::x11ScreenSaver; }

    std::optional<std::uint64_t> idleMilliseconds() override {
        if (!usable_) {
            return std::nullopt;
        }
        // One connection shared by every caller; Xlib is not safe across threads by itself.
        std::lock_guard lock(mutex_);
        if (!XScreenSaverQueryInfo(display_.get(), DefaultRootWindow(display_.get()),
                                   info_.get())) {
            return std::nullopt;
        }
        return static_cast<std::uint64_t>(info_->idle);
    }

  private:
    std::mutex mutex_;
    std::unique_ptr<Display, DisplayClose> display_;
    std::unique_ptr<XScreenSaverInfo, XFreeDeleter> info_;
    bool usable_ = false;
};

}  // namespace

std::unique_ptr<IdleTimeSource> makeX11IdleTimeSource() {
    return std::make_unique<X11IdleTimeSource>();
}

}  // namespace m2::platform
