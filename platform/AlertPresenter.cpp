#include "platform/AlertPresenter.h"

#include <mutex>

namespace m2::platform {
namespace {

std::mutex g_presenterMutex;
std::shared_ptr<AlertPresenter> g_presenter;  // none installed: alerts print instead

}  // namespace

void setAlertPresenter(std::shared_ptr<AlertPresenter> presenter) {
    const std::lock_guard lock(g_presenterMutex);
    g_presenter = std::move(presenter);
}

std::shared_ptr<AlertPresenter> alertPresenter() {
    const std::lock_guard lock(g_presenterMutex);
    return g_presenter;
}

}  // namespace m2::platform
