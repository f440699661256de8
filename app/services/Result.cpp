#include "app/services/Result.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "Sealkit/SealkitFacade.h"

namespace m2 {
namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace

Result::Result(bool status, std::string reason, std::string path, std::string id)
    : status(status), reason(std::move(reason)), path(std::move(path)), id(std::move(id)) {}

Result::Result(const SealkitOutcome& outcome, std::string id)
    : Result(outcome.succeeded(), outcome.message, outcome.path, std::move(id)) {}

Result::Result(std::string_view resultString) {
    std::vector<std::string_view> pieces;
    size_t start = 0;
    while (start <= resultString.size()) {
        const size_t comma = std::min(resultString.find(',', start), resultString.size());
        if (comma > start) {
            pieces.push_back(resultString.substr(start, comma - start));
        }
        start = comma + 1;
    }
    if (pieces.size() >= 2) {
        reason = pieces[1];
    }
    if (pieces.size() < 3) {
        return;  // not a full result: a failure without a path
    }
    status = equalsIgnoringCase(pieces[0], "ok");
    path = pieces[2];
    if (pieces.size() == 4) {
        id = pieces[3];
    }
}

}  // namespace m2
