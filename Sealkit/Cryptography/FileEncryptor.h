#pragma once

#include <sys/types.h>

#include <string>

#include "Sealkit/FileCipher.h"

namespace Morvane::Security {

// Turns one plain file into an encrypted ".m2p" file beside it and then securely
// deletes the plain file. The source is destroyed only once the encrypted file is
// complete, on disk and checked.
class FileEncryptor : public FileCipher {
  public:
    FileEncryptor(bool encryptFilename, std::string_view password, CCipherConstraints& constraints);

    // On success (0) path becomes the encrypted file; on failure it is unchanged, the
    // source is kept and no output is left behind. A source that cannot be overwritten
    // is not encrypted; one with other hard links loses only this name, unoverwritten.
    [[nodiscard]] int processFile(std::string& path, std::string& hint, bool flag,
                                  const std::string& destinationFolder) override;

    void setHideExtension(bool hide) { hideExtension = hide; }
    [[nodiscard]] bool getHideExtension() const { return hideExtension; }

  protected:
    // Writes ciphertext, check digest and header text from the open input to the open
    // output; 0 when every byte was written.
    int processData(std::string& hint) override;

    // The output name by the rules of the encryptor; empty when none is free.
    [[nodiscard]] std::string chooseOutputPath();
    // Seam: the final move of a completed output over a name that may be replaced.
    [[nodiscard]] virtual bool replaceFile(const std::string& from, const std::string& to);

  private:
    [[nodiscard]] int checkSourceWritable() const;
    [[nodiscard]] int chooseFittingOutputPath();
    [[nodiscard]] int createOutput();
    [[nodiscard]] int publishOutput();
    [[nodiscard]] bool outputIsComplete(std::uint64_t expectedSize) const;
    [[nodiscard]] int destroySource();
    [[nodiscard]] int withdrawOutput(int error);
    void discardOutput();

    bool hideExtension = false;
    std::uint64_t sourceSize = 0;
    // Identity of the file that was encrypted, so that only it is ever destroyed.
    dev_t sourceDevice = 0;
    ino_t sourceInode = 0;
    bool published = false;
    std::uint64_t writtenSize = 0;
    // Where a completed output must finally go when it replaces a file of that name.
    std::string replaceTarget;
};

}  // namespace Morvane::Security
