#include "app/ui/SecretFields.h"

#include <QLineEdit>
#include <QString>

namespace m2 {
namespace {

// Overwrites a text's whole buffer, the spare room on both sides included. Written through
// the shared data on purpose: whoever else holds it is done with the password by then. Text
// not on the heap (a literal) was never typed and is left alone.
void wipeText(QString& text) {
    const QString::DataPointer& d = text.data_ptr();
    if (!d.isMutable()) {
        return;
    }
    char16_t* begin = const_cast<char16_t*>(d.data()) - d.freeSpaceAtBegin();
    const auto length =
        static_cast<std::size_t>(d.freeSpaceAtBegin() + d.size + d.freeSpaceAtEnd());
    wipe(begin, length * sizeof(char16_t));
}

}  // namespace

std::string fieldText(const QLineEdit* field) {
    return field != nullptr ? field->text().toStdString() : std::string();
}

Secret secretFieldText(const QLineEdit* field) {
    Secret utf8;
    if (field == nullptr) {
        return utf8;
    }
    // text() shares the field's own buffer; nothing is copied until it is encoded here.
    const QString text = field->text();
    utf8.reserve(static_cast<std::size_t>(text.size()) * 3);
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t scalar = text.at(i).unicode();
        if (QChar::isHighSurrogate(scalar) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            scalar = QChar::surrogateToUcs4(static_cast<char16_t>(scalar), text.at(++i).unicode());
        } else if (QChar::isSurrogate(scalar)) {
            scalar = 0xFFFD;  // as toUtf8() writes an unpaired surrogate
        }
        char bytes[4];
        std::size_t length = 0;
        if (scalar < 0x80) {
            bytes[length++] = static_cast<char>(scalar);
        } else if (scalar < 0x800) {
            bytes[length++] = static_cast<char>(0xC0 | (scalar >> 6));
            bytes[length++] = static_cast<char>(0x80 | (scalar & 0x3F));
        } else if (scalar < 0x10000) {
            bytes[length++] = static_cast<char>(0xE0 | (scalar >> 12));
            bytes[length++] = static_cast<char>(0x80 | ((scalar >> 6) & 0x3F));
            bytes[length++] = static_cast<char>(0x80 | (scalar & 0x3F));
        } else {
            bytes[length++] = static_cast<char>(0xF0 | (scalar >> 18));
            bytes[length++] = static_cast<char>(0x80 | ((scalar >> 12) & 0x3F));
            bytes[length++] = static_cast<char>(0x80 | ((scalar >> 6) & 0x3F));
            bytes[length++] = static_cast<char>(0x80 | (scalar & 0x3F));
        }
        utf8.append(std::string_view(bytes, length));
        wipe(bytes, sizeof bytes);
    }
    return utf8;
}

void setSecretFieldText(QLineEdit* field, std::string_view text) {
    // The field shares this buffer; clearSecretFields wipes it when the dialog goes.
    field->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void clearSecretFields(std::initializer_list<QPointer<QLineEdit>> fields) {
    for (const QPointer<QLineEdit>& field : fields) {
        if (field != nullptr) {
            // The field frees its buffer unwiped when it is emptied, so the buffer is taken
            // first and wiped once the field has let go. What Qt copied while the text was
            // typed (key events, undo steps, buffers outgrown) is out of the program's reach.
            QString typed = field->text();
            field->clear();
            wipeText(typed);
        }
    }
}

}  // namespace m2
