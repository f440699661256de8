#pragma once

#include <string>

namespace Morvane::Security {

// The engine's result codes: 0 for success, negative for failures. A failed system call
// is reported through systemErrorCode().
enum ResultCode : int {
    kEmptyInput = 1,
    kOK = 0,
    kFileReadError = -1,
    kAlreadyEncrypted = -3,
    kNotEncrypted = -4,
    kPasswordIncorrect = -5,
    kFileEmpty = -6,
    kSystemFile = -7,
    kDestinationExists = -8,
    kFileDoesNotExist = -10,
    kReadOnlyDevice = -12,
    kRenamedCopy = -14,
    kEncryptFailed = -15,
    kDecryptFailed = -16,
    kAccessDenied = -17,
    kDiskFull = -19,
    kFileLocked = -20,
    kNewerVersion = -21,
    kNoHeaderCreated = -25,
    kHeaderNotRemoved = -26,
};

class CMorvaneResult {
  public:
    virtual ~CMorvaneResult() = default;

    // The message of a code; the system's own text for a code made by systemErrorCode().
    // Safe to call from several threads at once.
    [[nodiscard]] static std::string getStringResult(int code);

    // The code of a system error number: errno - 100 for 1 to 49, and -100 - errno from
    // 50 on, so that no error number lands on one of the engine's own codes. A value of 0
    // or below (a failure that set no errno) reads as EIO.
    [[nodiscard]] static int systemErrorCode(int errnum);
};

}  // namespace Morvane::Security
