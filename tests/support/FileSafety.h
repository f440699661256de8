#pragma once

#include <string>
#include <vector>

#include "Sealkit/MorvaneResult.h"

// What the engine's file-safety tests share, with and without root.
namespace m2::test::safety {

inline const std::string kPassword = "safety password";
using Names = std::vector<std::string>;

// The engine's text for a system error, as its results carry it.
inline std::string systemText(int error) {
    using Morvane::Security::CMorvaneResult;
    return CMorvaneResult::getStringResult(CMorvaneResult::systemErrorCode(error));
}

}  // namespace m2::test::safety
