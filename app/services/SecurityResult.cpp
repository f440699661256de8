#include "app/services/SecurityResult.h"

namespace m2 {

std::string asString(securityResult result) {
    switch (result) {
        case securityResult::OK:
            return "OK";
        case securityResult::AlreadyEncrypted:
            return "File is already encrypted";
        case securityResult::NotEncrypted:
            return "File is not encrypted";
        case securityResult::CouldNotOpenFile:
            return "Could not open encrypted file";
        case securityResult::CouldNotShredFile:
            return "Could not shred file";
        case securityResult::CouldNotReencrypt:
            return "Could not automatically re-encrypt files";
        case securityResult::CouldNotCopyToTempLocation:
            return "Could not copy file to temp location";
        case securityResult::InvalidPassword:
            return "Invalid Password";
    }
    return "";
}

std::optional<securityResult> securityResultFromRawValue(int raw) {
    if (raw < rawValue(securityResult::OK) || raw > rawValue(securityResult::InvalidPassword)) {
        return std::nullopt;
    }
    return static_cast<securityResult>(raw);
}

}  // namespace m2
