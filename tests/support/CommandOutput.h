#pragma once

#include <string>
#include <vector>

namespace m2test {

// Runs a shell command and returns what it wrote to standard output; exitStatus gets
// its exit status (-1 when it could not be started).
std::string commandOutput(const std::string& command, int* exitStatus = nullptr);

// Runs a program without a shell (argv[0] is its path) with exactly the environment `env`
// ("NAME=value" entries), in the folder `folder`, and returns what it wrote to standard
// output; exitStatus as above.
std::string programOutput(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                          const std::string& folder, int* exitStatus = nullptr);

// The C view of argument or environment texts for an exec call, ending in a null pointer;
// valid while `texts` lives unchanged.
std::vector<char*> execPointers(std::vector<std::string>& texts);

}  // namespace m2test
