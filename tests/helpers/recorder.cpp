// A stand-in application and launcher for tests. Into the folder $M2_TEST_RECORD it writes,
// named by its pid: ".argv" (its arguments after argv[0], each ended by a NUL byte), ".sid"
// (its session id), ".stdin" (its standard input, read to the end, when $M2_TEST_READ_STDIN
// is set), then ".started". With $M2_TEST_APPEND it appends that text to the file named by
// its first argument (an edit); with $M2_TEST_RELEASE it waits until that file exists and
// then writes ".after". $M2_TEST_EDIT=delete removes the file after the edit; "saveas"
// saves the edited file as "saved-<name>" beside it and removes the original. It exits with status
// $M2_TEST_EXIT (0 when unset).
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <system_error>
#include <thread>

namespace fs = std::filesystem;

namespace {

void writeAtomically(const fs::path& path, const std::string& bytes) {
    const fs::path partial = path.string() + ".partial";
    {
        std::ofstream out(partial, std::ios::binary);
        out << bytes;
    }
    fs::rename(partial, path);
}

}  // namespace

int main(int argc, char** argv) {
    const char* record = std::getenv("M2_TEST_RECORD");
    if (record == nullptr) {
        return 64;
    }
    const fs::path base = fs::path(record) / std::to_string(::getpid());

    std::string arguments;
    for (int i = 1; i < argc; ++i) {
        arguments += argv[i];
        arguments += '\0';
    }
    writeAtomically(base.string() + ".argv", arguments);
    writeAtomically(base.string() + ".sid", std::to_string(::getsid(0)));
    if (std::getenv("M2_TEST_READ_STDIN") != nullptr) {
        const std::string input((std::istreambuf_iterator<char>(std::cin)),
                                std::istreambuf_iterator<char>());
        writeAtomically(base.string() + ".stdin", input);
    }
    if (const char* text = std::getenv("M2_TEST_APPEND"); text != nullptr && argc > 1) {
        std::ofstream(argv[1], std::ios::binary | std::ios::app) << text;
    }
    if (const char* edit = std::getenv("M2_TEST_EDIT"); edit != nullptr && argc > 1) {
        std::error_code error;
        if (std::string(edit) == "saveas") {
            const fs::path original(argv[1]);
            fs::copy_file(original,
                          original.parent_path() / ("saved-" + original.filename().string()),
                          error);
        }
        if (std::string(edit) == "delete" || std::string(edit) == "saveas") {
            fs::remove(argv[1], error);
        }
    }
    writeAtomically(base.string() + ".started", "");

    if (const char* release = std::getenv("M2_TEST_RELEASE")) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!fs::exists(release) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        writeAtomically(base.string() + ".after", "");
    }
    const char* status = std::getenv("M2_TEST_EXIT");
    return status != nullptr ? std::atoi(status) : 0;
}
