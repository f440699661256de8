#pragma once

#include <string>

namespace m2test {

// Runs a shell command and returns what it wrote to standard output; exitStatus gets
// its exit status (-1 when it could not be started).
std::string commandOutput(const std::string& command, int* exitStatus = nullptr);

}  // namespace m2test
