#pragma once

#include <string>
#include <string_view>

namespace m2 {

// The one owner of the notes file, which lends it to a change of the master password while
// that change re-keys it: a save meanwhile is held and made once the file is handed back,
// under the password it then opens with. Main thread only.
class NotesFileOwner {
  public:
    virtual ~NotesFileOwner() = default;
    // Before the worker touches the notes file.
    virtual void rekeyingStarts() = 0;
    // The worker is done with the notes file: `rekeyed` says it now opens with `password` and
    // `hint`; else it is as it was.
    virtual void rekeyingEnded(bool rekeyed, std::string_view password,
                               const std::string& hint) = 0;
    // The logged-in password is now the one the file was re-keyed to: no copy of it is kept.
    virtual void loggedInPasswordFollows() = 0;
};

}  // namespace m2
