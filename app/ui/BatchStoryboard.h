#pragma once

namespace m2::platform::ui {
class Storyboard;
}

namespace m2 {

// Puts the batch sheets into the storyboard: the password entry sheet, the decryption
// password sheet (also by its identifier, for the open-document road), the report sheet,
// their segues from the main controller, and the key file segues of the two password sheets.
void registerBatchStoryboard(platform::ui::Storyboard& storyboard);

}  // namespace m2
