#pragma once

#include <string>

#include "Sealkit/FileCipher.h"
#include "Sealkit/FileHeader/FileHeader.h"

namespace Morvane::Security {

// Turns one encrypted file back into the plain file in the same folder, under the name
// stored in its trailer, and removes the encrypted file. Each file's configuration comes
// from its own trailer; the key is derived again only when it changes.
class FileDecryptor : public FileCipher {
  public:
    FileDecryptor(bool encryptFilename, std::string_view password);

    // On success (0, or -14 for a copy name) path becomes the plain file, written as its
    // folder, "//" and its name; after a failure once the temporary file was set up it
    // holds the temporary path. hint receives the stored hint when the trailer could be
    // read. The encrypted file is removed only once the plain file is in place.
    [[nodiscard]] int processFile(std::string& path, std::string& hint, bool overwrite,
                                  const std::string& destinationFolder) override;

    // Creates the plain file being written as the output, unnamed where the file system
    // allows it (else under a temporary name in path's folder, after securely deleting a
    // leftover of an interrupted run); path becomes path + ".cdf", the name results
    // report for it. 0 or a system error code.
    [[nodiscard]] int createDestinationFile(std::string& path, const std::string& folder);
    // Gives the finished output the destination name, or a copy name when a file holds
    // it: 0, -14 (tempPath then holds the copy name) or -8; a system error code when
    // it could not be named.
    [[nodiscard]] int checkDestinationFile(const std::string& destination, std::string& tempPath,
                                           bool overwrite);

  protected:
    // Checks the password and decrypts from the open input to the open output.
    int processData(std::string& hint) override;
    // Seam: names the finished output, never replacing a file; false with errno.
    [[nodiscard]] virtual bool placeOutput(const std::string& to);

  private:
    [[nodiscard]] int decryptContent();
    [[nodiscard]] int moveToCopyName(const std::string& destination, std::string& tempPath);
    [[nodiscard]] std::string plainFileName(const std::string& encryptedPath) const;
    void destroyTemporary();

    std::unique_ptr<CFileHeader> header;
    std::uint64_t inputSize = 0;
    mode_t encryptedPermissions = 0;
};

}  // namespace Morvane::Security
