#pragma once

#include <string>
#include <string_view>

struct SealkitOutcome;

namespace m2 {

// The outcome of one item of a batch.
struct Result {
    bool status = false;   // the item succeeded
    std::string reason;    // the cipher engine's message
    std::string path;      // the file the operation left behind
    std::string id = "-";  // the library entry's id; "-" when none

    Result() = default;
    // From the fields themselves: paths and messages may hold commas. New code uses this.
    Result(bool status, std::string reason, std::string path, std::string id = "-");
    // From a result text "status,message,path[,id]": split at every ",", empty pieces
    // dropped; "ok" in any case is success; the id only when there are exactly four pieces.
    // Fewer than three pieces gives a failure with an empty path and id "-".
    explicit Result(std::string_view resultString);
    // From the cipher facade's structured outcome, with the caller's library entry id.
    explicit Result(const SealkitOutcome& outcome, std::string id = "-");
};

}  // namespace m2
