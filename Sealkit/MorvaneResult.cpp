#include "Sealkit/MorvaneResult.h"

#include <cerrno>
#include <cstring>

namespace Morvane::Security {

namespace {

const char* const kMessages[] = {
    "Empty Input",  // 1
    "OK",
    "File read error",
    "",
    "File already encrypted",
    "File not encrypted",
    "Password incorrect ",
    "File empty",
    "System file",
    "File already exists",
    "",  // -9
    "File does not exists",
    "",
    "Destination device is read only",
    "",
    "File already exists and has been renamed to <filename>_(number).extension",
    "Failed to encrypt file.",
    "Failed to decrypt file.",
    "Access Denied. You do not have write access for this directory ",
    "",
    "Hard disk is full",  // -19
    "File locked by other process",
    "File was encrypted with a newer version of Morvane 2 Riravevovavi. Please use the latest "
    "version of Morvane 2 Riravevovavi",
    "",
    "Could not destory file",
    "Could not destory folder",
    "Failed to encrypt file, Header could not be created",
    "Failed to decrypt file, Header could not be removed",
    "Could not move file to your USB Drive",
    "Failed to decrypt file. Filepath too long, try renaming or moving the file then try "
    "again. ",
    "Failed to decrypt file. Decrypted contents corrupted",  // -29
    "File does not exist. Please check your file exists and try again.",
};
constexpr int kFirstCode = 1;
constexpr int kLastCode = -30;
static_assert(sizeof kMessages / sizeof kMessages[0] == kFirstCode - kLastCode + 1);

constexpr int kSystemBase = 100;
constexpr int kFirstShiftedErrno = 50;

// The two forms of strerror_r: GNU answers a pointer, POSIX fills the buffer.
[[maybe_unused]] const char* errorText(int result, const char* buffer) {
    return result == 0 ? buffer : "";
}
[[maybe_unused]] const char* errorText(const char* result, const char* /*buffer*/) {
    return result;
}

std::string systemText(int errnum) {
    char buffer[256] = {};
    return errorText(::strerror_r(errnum, buffer, sizeof buffer), buffer);
}

}  // namespace

int CMorvaneResult::systemErrorCode(int errnum) {
    if (errnum <= 0) {
        errnum = EIO;
    }
    return errnum < kFirstShiftedErrno ? errnum - kSystemBase : -kSystemBase - errnum;
}

std::string CMorvaneResult::getStringResult(int code) {
    if (code <= kFirstCode && code >= kLastCode) {
        return kMessages[kFirstCode - code];
    }
    // -99 to -51 from errno 1 to 49; -50 still reads as errno 50, as older reports hold it.
    if (code >= -kSystemBase + 1 && code <= -kSystemBase + kFirstShiftedErrno) {
        return systemText(code + kSystemBase);
    }
    if (code <= -kSystemBase - kFirstShiftedErrno) {
        return systemText(-kSystemBase - code);
    }
    return "";
}

}  // namespace Morvane::Security
