// A stand-in application and launcher for tests. Into the folder $M2_TEST_RECORD it writes,
// named by its pid: ".argv" (its arguments after argv[0], each ended by a NUL byte), ".sid"
// (its session id), ".stdin" (its standard input, read to the end, when $M2_TEST_READ_STDIN
// is set), then ".started". With $M2_TEST_APPEND it appends that text to the file named by
// its first argument (an edit); with $M2_TEST_RELEASE it waits until that file exists and
// then writes ".after". $M2_TEST_EDIT says what else it does with the file as an editor
// would: "delete" removes it after the edit; "saveas" saves the edited file as
// "saved-<name>" beside it and removes the original; "other" saves the edit as
// "other-<name>" only, leaving the file as it was; "rename" renames the edited file to
// "renamed-<name>"; "traces" leaves beside it the backup, swap, lock and save-temporary files
// editors make; "readonly" clears the edited file's owner-write bit. It exits with status
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
    const std::string edit =
        std::getenv("M2_TEST_EDIT") != nullptr ? std::getenv("M2_TEST_EDIT") : "";
    std::error_code error;
    const bool onFile = argc > 1 && fs::is_regular_file(argv[1], error);
    if (const char* text = std::getenv("M2_TEST_APPEND"); text != nullptr && onFile) {
        const fs::path file(argv[1]);
        const fs::path beside = file.parent_path();
        const std::string name = file.filename().string();
        std::string before;
        {
            std::ifstream in(file, std::ios::binary);
            before.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        if (edit == "other") {
            std::ofstream(beside / ("other-" + name), std::ios::binary) << before << text;
        } else {
            std::ofstream(file, std::ios::binary | std::ios::app) << text;
        }
        if (edit == "traces") {
            for (const std::string& trace :
                 {name + "~", "." + name + ".swp", ".~lock." + name + "#",
                  std::string(".goutputstream-K3Q9ZB")}) {
                std::ofstream(beside / trace, std::ios::binary) << before << text;
            }
        }
    }
    if (!edit.empty() && onFile) {
        const fs::path file(argv[1]);
        const fs::path beside = file.parent_path();
        const std::string name = file.filename().string();
        if (edit == "saveas") {
            fs::copy_file(file, beside / ("saved-" + name), error);
        }
        if (edit == "delete" || edit == "saveas") {
            fs::remove(file, error);
        }
        if (edit == "rename") {
            fs::rename(file, beside / ("renamed-" + name), error);
        }
        if (edit == "readonly") {
            fs::permissions(file, fs::perms::owner_write, fs::perm_options::remove, error);
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
