#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Sealkit/Cryptography/Secret.h"

namespace m2 {

// One document to open for editing, as the command line gave it.
struct LauncherRequest {
    std::string file;
    Morvane::Security::Secret password;
    std::string hint;

    friend bool operator==(const LauncherRequest&, const LauncherRequest&) = default;
};

// What an entry of the argument list holding ".m2p" asks for: a request, or nothing (an
// argument the launcher cannot use; "Invalid command line arguments").
using LauncherArgument = std::optional<LauncherRequest>;

// Reads the argument list (argv[0] included, and skipped). Only entries holding ".m2p" count;
// the first is the document, every later one is refused, since ending the launcher with the
// first would leave a second document plain.
//
// Two forms. "<path>,-,hint" with the password on standard input (the main program's): the
// path is everything before ",-,hint", commas included, and `readPassword` reads the password;
// it is asked only for this form and answers std::nullopt when standard input is not a pipe,
// which sends the entry to the other form. Otherwise "<path>,<password>,<hint>": split at every
// comma, empty pieces dropped, exactly three pieces, used verbatim.
[[nodiscard]] std::vector<LauncherArgument> parseLauncherArguments(
    const std::vector<std::string>& arguments,
    const std::function<std::optional<Morvane::Security::Secret>()>& readPassword);

}  // namespace m2
