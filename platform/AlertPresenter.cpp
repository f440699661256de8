#include "platform/AlertPresenter.h"

#include "platform/ServiceSlot.h"

namespace m2::platform {
namespace {

ServiceSlot<AlertPresenter>& slot() {
    static ServiceSlot<AlertPresenter> presenter;
    return presenter;
}

}  // namespace

void setAlertPresenter(std::shared_ptr<AlertPresenter> presenter) {
    slot().set(std::move(presenter));
}

std::shared_ptr<AlertPresenter> alertPresenter() {
    return slot().get();
}

}  // namespace m2::platform
