#include "platform/Base64.h"

#include <glib.h>

#include <memory>

namespace m2::platform {

std::string base64Encode(std::span<const std::uint8_t> bytes) {
    const std::unique_ptr<gchar, decltype(&g_free)> text(
        g_base64_encode(bytes.data(), bytes.size()), &g_free);
    return text ? std::string(text.get()) : std::string();
}

}  // namespace m2::platform
