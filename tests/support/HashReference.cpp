#include "support/HashReference.h"

#include <sstream>

#include "support/CommandOutput.h"

namespace m2test {

std::vector<std::size_t> digestTestLengths() {
    std::vector<std::size_t> lengths;
    for (std::size_t n = 0; n <= 200; ++n) {
        lengths.push_back(n);
    }
    lengths.push_back(2048);
    lengths.push_back(10000);
    return lengths;
}

std::vector<std::vector<std::string>> hashlibDigests(const std::vector<std::size_t>& lengths,
                                                     const std::vector<std::string>& algorithms) {
    std::ostringstream script;
    script << "import hashlib\nfor n in [";
    for (auto n : lengths) {
        script << n << ",";
    }
    script << "]:\n    d = bytes((7 * i + 3) % 256 for i in range(n))\n    print(*(";
    for (const auto& a : algorithms) {
        script << "hashlib." << a << "(d).hexdigest(),";
    }
    script << "))\n";
    int status = 0;
    const std::string out = commandOutput("/usr/bin/python3 -c '" + script.str() + "'", &status);
    std::vector<std::vector<std::string>> digests;
    if (status != 0) {
        return digests;
    }
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::vector<std::string> row;
        std::string digest;
        while (fields >> digest) {
            row.push_back(digest);
        }
        digests.push_back(row);
    }
    return digests;
}

}  // namespace m2test
