#include "Sealkit/SealkitFacade.h"

#include "Sealkit/CipherUtils.h"
#include "Shredder/SecureDelete.h"

std::string SealkitOutcome::text() const {
    return (status == Status::ok ? "ok," : "fail,") + message + "," + path;
}

std::string Keyfile::createKey(const std::string& path) {
    return Morvane::Security::CipherUtils::createKeyfileData(path);
}

bool Shredder::shredFile(const std::string& path) {
    Morvane::Security::CSecureDelete shredder(1);
    return shredder.deleteFile(path);
}
