#include "M2 Launcher/LauncherArguments.h"

#include <string_view>

namespace m2 {
namespace {

constexpr std::string_view kDocumentMark = ".m2p";
constexpr std::string_view kPasswordOnInput = ",-,hint";

// Split at every comma, empty pieces dropped: the three-piece form of the command line.
LauncherArgument threePieces(const std::string& entry) {
    std::vector<std::string> pieces;
    std::string piece;
    for (const char c : entry) {
        if (c == ',') {
            if (!piece.empty()) {
                pieces.push_back(std::move(piece));
            }
            piece.clear();
        } else {
            piece += c;
        }
    }
    if (!piece.empty()) {
        pieces.push_back(std::move(piece));
    }
    if (pieces.size() != 3) {
        return std::nullopt;
    }
    LauncherRequest request{pieces[0], Morvane::Security::Secret::adopt(pieces[1]), pieces[2]};
    Morvane::Security::wipe(piece);
    return request;
}

}  // namespace

std::vector<LauncherArgument> parseLauncherArguments(
    const std::vector<std::string>& arguments,
    const std::function<std::optional<Morvane::Security::Secret>()>& readPassword) {
    std::vector<LauncherArgument> answers;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& entry = arguments[i];
        if (entry.find(kDocumentMark) == std::string::npos) {
            continue;
        }
        if (!answers.empty()) {
            answers.emplace_back(std::nullopt);
            continue;
        }
        if (entry.size() > kPasswordOnInput.size() && entry.ends_with(kPasswordOnInput)) {
            if (auto password = readPassword(); password) {
                // An empty password cannot have sealed anything.
                answers.emplace_back(
                    password->empty()
                        ? LauncherArgument{}
                        : LauncherRequest{entry.substr(0, entry.size() - kPasswordOnInput.size()),
                                          std::move(*password), "hint"});
                continue;
            }
        }
        answers.push_back(threePieces(entry));
    }
    return answers;
}

}  // namespace m2
