#include "app/ui/EditedText.h"

#include <algorithm>

#include "platform/Text.h"

namespace m2 {
namespace {

constexpr char16_t paragraphSeparator = 0x2029;
constexpr char16_t lineSeparator = 0x2028;

bool isBreak(char32_t cp) {
    return cp == '\n' || cp == '\r' || cp == paragraphSeparator;
}

}  // namespace

EditedText::EditedText(std::string stored) : stored_(std::move(stored)) {
    bool breakSeen = false;
    for (std::size_t pos = 0; pos < stored_.size();) {
        char32_t cp = 0;
        std::size_t len = platform::utf8SequenceAt(stored_, pos, cp);
        if (len == 0) {
            cp = 0xFFFD, len = 1;
        }
        if (cp == '\r' && pos + 1 < stored_.size() && stored_[pos + 1] == '\n') {
            len = 2;
        }
        if (isBreak(cp)) {
            if (!breakSeen && cp != paragraphSeparator) {
                newBreak_ = stored_.substr(pos, len);
                breakSeen = true;
            }
            shown_ += QString::fromUtf8(stored_.data() + pos, static_cast<qsizetype>(len));
            raw_ += QChar(paragraphSeparator);
            byteAt_.push_back(pos);
        } else {
            const QString units = QString::fromUcs4(&cp, 1);
            shown_ += units;
            raw_ += units;
            byteAt_.insert(byteAt_.end(), static_cast<std::size_t>(units.size()), pos);
        }
        pos += len;
    }
    byteAt_.push_back(stored_.size());
}

std::string EditedText::stored(const QString& raw) const {
    std::string out;
    qsizetype from = 0;
    for (qsizetype i = 0; i <= raw.size(); ++i) {
        // Shift+Return gives a line separator: what the user typed is a line break.
        if (i == raw.size() || raw[i] == QChar(paragraphSeparator) ||
            raw[i] == QChar(lineSeparator)) {
            out += raw.mid(from, i - from).toStdString();
            if (i < raw.size()) {
                out += newBreak_;
            }
            from = i + 1;
        }
    }
    return out;
}

std::string EditedText::result(const QString& atLoad, const QString& now) const {
    if (now == atLoad) {
        return stored_;
    }
    if (atLoad != raw_) {
        return stored(now);  // filled otherwise than foreseen: the user's text as it stands
    }
    // The edit lies between the longest common start and end of the two texts.
    const qsizetype oldSize = raw_.size();
    const qsizetype newSize = now.size();
    qsizetype prefix = 0;
    while (prefix < oldSize && prefix < newSize && raw_[prefix] == now[prefix]) {
        ++prefix;
    }
    qsizetype suffix = 0;
    const qsizetype most = std::min(oldSize, newSize) - prefix;
    while (suffix < most && raw_[oldSize - 1 - suffix] == now[newSize - 1 - suffix]) {
        ++suffix;
    }
    // Never half a character: a surrogate pair stays whole on either side.
    if (prefix > 0 && prefix < oldSize && raw_[prefix].isLowSurrogate()) {
        --prefix;
    }
    if (suffix > 0 && raw_[oldSize - suffix].isLowSurrogate()) {
        --suffix;
    }
    const std::size_t keptStart = byteAt_[static_cast<std::size_t>(prefix)];
    const std::size_t keptEnd = byteAt_[static_cast<std::size_t>(oldSize - suffix)];
    return stored_.substr(0, keptStart) + stored(now.mid(prefix, newSize - suffix - prefix)) +
           stored_.substr(keptEnd);
}

}  // namespace m2
