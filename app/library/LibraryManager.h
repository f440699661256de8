#pragma once

#include <string>
#include <vector>

namespace m2 {

// Why an entry was or was not added to the library.
enum class LibraryResult { ok, fileAlreadyExists, systemFile, folderAlreadyExists };

// The kind of adding that failed.
enum class LibraryProcess { addLibraryFiles, addLibraryFolder };

class LibraryManager {
  public:
    // Catalogue file names, appended as they stand to the Documents folder (or, for
    // noteFilenameOnly, to a folder the user chose).
    inline static const std::string folderViewFilename = "/Morvane/Morvane.m2f";
    inline static const std::string fileViewFilename = "/Morvane/Morvane.m2l";
    inline static const std::string noteFilename = "/Morvane/M2_SecureNotes.m2n";
    inline static const std::string noteFilenameOnly = "/M2_SecureNotes.m2n";

    // The summary alert after an add that ended with `failures` entries not added. Shows
    // nothing for addLibraryFolder.
    static void createAndShowFailureMessage(LibraryProcess process,
                                            const std::vector<LibraryResult>& reasons,
                                            int failures);
};

}  // namespace m2
