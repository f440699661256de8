#include "platform/PathString.h"

namespace m2::platform {

namespace {

// The path without trailing slashes; a path made only of slashes becomes "/".
std::string_view trimTrailingSlashes(std::string_view path) {
    const auto last = path.find_last_not_of('/');
    if (last == std::string_view::npos) {
        return path.empty() ? path : path.substr(0, 1);
    }
    return path.substr(0, last + 1);
}

}  // namespace

std::string lastPathComponent(std::string_view path) {
    const std::string_view trimmed = trimTrailingSlashes(path);
    if (trimmed == "/") {
        return "/";
    }
    const auto slash = trimmed.rfind('/');
    return std::string(slash == std::string_view::npos ? trimmed : trimmed.substr(slash + 1));
}

std::string deletingLastPathComponent(std::string_view path) {
    const std::string_view trimmed = trimTrailingSlashes(path);
    if (trimmed == "/") {
        return "/";
    }
    const auto slash = trimmed.rfind('/');
    if (slash == std::string_view::npos) {
        return "";
    }
    const std::string_view parent = trimTrailingSlashes(trimmed.substr(0, slash));
    return parent.empty() ? "/" : std::string(parent);
}

}  // namespace m2::platform
