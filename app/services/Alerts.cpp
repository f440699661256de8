#include "app/services/Alerts.h"

#include <cstdio>
#include <optional>

#include "platform/AlertPresenter.h"

namespace m2 {
namespace {

using platform::AlertRequest;
using platform::AlertStyle;

int show(AlertRequest request) {
    if (const auto presenter = platform::alertPresenter()) {
        return presenter->present(request);
    }
    std::printf("%s\n", request.message.c_str());
    if (request.informativeText) {
        std::printf("%s\n", request.informativeText->c_str());
    }
    std::fflush(stdout);
    return -1;
}

}  // namespace

void warningAlert(const std::string& message) {
    (void)show({AlertStyle::warning, message, std::nullopt, {"OK"}});
}

void warningAlert(const std::string& message, const std::string& details) {
    (void)show({AlertStyle::warning, message, details, {"OK"}});
}

bool yesNoAlert(const std::string& message, const std::string& text, DefaultAnswer defaultAnswer) {
    const std::size_t returnPresses = defaultAnswer == DefaultAnswer::yes ? 0 : 1;
    return show({AlertStyle::informational, message, text, {"Yes", "No"}, returnPresses}) == 0;
}

}  // namespace m2
