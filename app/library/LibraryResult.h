#pragma once

namespace m2 {

// Why an entry was or was not added to the library.
enum class LibraryResult { ok, fileAlreadyExists, systemFile, folderAlreadyExists };

// The kind of adding that failed.
enum class LibraryProcess { addLibraryFiles, addLibraryFolder };

}  // namespace m2
