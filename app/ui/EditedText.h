#pragma once

#include <QString>

#include <cstddef>
#include <string>
#include <vector>

namespace m2 {

// A note's stored text next to what the editor's document makes of it, so that what the user
// did not change goes back byte for byte. The document keeps every character but its line
// breaks: CRLF, CR, LF and U+2029 all become one paragraph separator there. The stored text
// may be any bytes; what is not UTF-8 is shown as U+FFFD and kept where it was not edited.
class EditedText {
  public:
    explicit EditedText(std::string stored);

    // What the document is filled with.
    [[nodiscard]] const QString& shown() const { return shown_; }
    // The stored text for the document's raw text `now` (QTextDocument::toRawText), given its
    // raw text `atLoad` right after it was filled: the stored bytes themselves where the edit
    // did not reach, the user's text where it did; a line break the user made (Return or
    // Shift+Return) takes the form of the text's first one.
    [[nodiscard]] std::string result(const QString& atLoad, const QString& now) const;

  private:
    // UTF-8 of raw document text, each paragraph or line separator as `newBreak_`.
    [[nodiscard]] std::string stored(const QString& raw) const;

    std::string stored_;
    QString shown_;
    QString raw_;                      // shown_ as the document holds it
    std::vector<std::size_t> byteAt_;  // where each unit of raw_ begins in stored_, and the end
    std::string newBreak_ = "\n";
};

}  // namespace m2
