#pragma once

#include <filesystem>
#include <string>

namespace m2 {

// How a save of a catalogue file (the library, the folder tree) went: a failure is told to the
// user once, with the system's reason, and not again until a save of that file has worked,
// so a batch that saves at every file does not ask a hundred times. What is in memory is
// left as it is, and the next save writes it all. Any thread.
void tellSaveOutcome(const std::filesystem::path& file, bool saved, const std::string& reason,
                     const std::string& whatWasNotSaved);

}  // namespace m2
