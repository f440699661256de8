#include "platform/Text.h"

#include <unicode/brkiter.h>
#include <unicode/normalizer2.h>
#include <unicode/ucasemap.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <climits>
#include <memory>

#include "Sealkit/Cryptography/Wipe.h"

namespace m2::platform {
namespace {

// The texts measured and compared here are often passwords: their UTF-16 copies are wiped
// before ICU frees them.
void wipeText(icu::UnicodeString& text) {
    const int32_t capacity = text.getCapacity();
    char16_t* buffer = text.getBuffer(capacity);
    if (buffer != nullptr) {
        Morvane::Security::wipe(buffer, static_cast<std::size_t>(capacity) * sizeof(char16_t));
        text.releaseBuffer(0);
    }
}

icu::UnicodeString toUnicode(std::string_view utf8) {
    return icu::UnicodeString::fromUTF8(
        icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
}

// Decodes scalar by scalar; `visit` gets a negative value for an ill-formed sequence and
// stops the walk by answering false.
template <class Visit>
void decode(std::string_view utf8, Visit visit) {
    const auto* s = reinterpret_cast<const uint8_t*>(utf8.data());
    const auto length = static_cast<int32_t>(utf8.size());
    int32_t i = 0;
    while (i < length) {
        UChar32 c = 0;
        U8_NEXT(s, i, length, c);
        if (!visit(c)) {
            return;
        }
    }
}

}  // namespace

bool isValidUtf8(std::string_view bytes) {
    bool valid = true;
    decode(bytes, [&](UChar32 c) { return valid = c >= 0; });
    return valid;
}

std::size_t utf8SequenceAt(std::string_view s, std::size_t pos, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(s[pos]);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    std::size_t len;
    char32_t min;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (pos + len > s.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < len; ++i) {
        const auto b = static_cast<unsigned char>(s[pos + i]);
        if ((b & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    return len;
}

void forEachScalar(std::string_view utf8, const std::function<void(char32_t)>& visit) {
    decode(utf8, [&](UChar32 c) {
        visit(c < 0 ? U'\uFFFD' : static_cast<char32_t>(c));
        return true;
    });
}

std::size_t graphemeCount(std::string_view utf8) {
    if (utf8.empty()) {
        return 0;
    }
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> it(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !it) {
        // No break rules (ICU data missing): count scalars, the closest safe reading.
        std::size_t n = 0;
        forEachScalar(utf8, [&](char32_t) { ++n; });
        return n;
    }
    icu::UnicodeString text = toUnicode(utf8);
    it->setText(text);
    std::size_t count = 0;
    it->first();
    while (it->next() != icu::BreakIterator::DONE) {
        ++count;
    }
    it.reset();
    wipeText(text);
    return count;
}

bool canonicallyEqual(std::string_view a, std::string_view b) {
    if (a == b) {
        return true;
    }
    // Replacement characters would make different ill-formed texts look equal.
    if (!isValidUtf8(a) || !isValidUtf8(b)) {
        return false;
    }
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    if (U_FAILURE(status) || nfd == nullptr) {
        return false;
    }
    icu::UnicodeString ua = toUnicode(a);
    icu::UnicodeString ub = toUnicode(b);
    icu::UnicodeString na = nfd->normalize(ua, status);
    icu::UnicodeString nb = nfd->normalize(ub, status);
    const bool same = U_SUCCESS(status) && na == nb;
    for (icu::UnicodeString* text : {&ua, &ub, &na, &nb}) {
        wipeText(*text);
    }
    return same;
}

CharacterClass characterClassOf(char32_t scalar) {
    switch (u_charType(static_cast<UChar32>(scalar))) {
        case U_LOWERCASE_LETTER:
            return CharacterClass::lowercase;
        case U_DECIMAL_DIGIT_NUMBER:
            return CharacterClass::decimalDigit;
        case U_UPPERCASE_LETTER:
        case U_TITLECASE_LETTER:
            return CharacterClass::uppercase;
        case U_MATH_SYMBOL:
        case U_CURRENCY_SYMBOL:
        case U_MODIFIER_SYMBOL:
        case U_OTHER_SYMBOL:
            return CharacterClass::symbol;
        default:
            return CharacterClass::other;
    }
}

namespace {

std::string asciiLowercased(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

struct CaseMapCloser {
    void operator()(UCaseMap* map) const { ucasemap_close(map); }
};

}  // namespace

std::string lowercased(std::string_view text) {
    const bool ascii = std::all_of(text.begin(), text.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    // Most names are ASCII; they need no trip through ICU.
    if (ascii || !isValidUtf8(text) || text.size() > INT32_MAX / 4) {
        return asciiLowercased(text);
    }
    UErrorCode status = U_ZERO_ERROR;
    // The root locale: the same mapping whatever the user's language.
    thread_local const std::unique_ptr<UCaseMap, CaseMapCloser> map(
        ucasemap_open("", U_FOLD_CASE_DEFAULT, &status));
    if (!map) {
        return asciiLowercased(text);
    }
    // Lower case can grow a UTF-8 text ("İ" takes three bytes lowered); retry at the size
    // ICU asks for.
    std::string out(text.size() + 8, '\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        status = U_ZERO_ERROR;
        const int32_t needed =
            ucasemap_utf8ToLower(map.get(), out.data(), static_cast<int32_t>(out.size()),
                                 text.data(), static_cast<int32_t>(text.size()), &status);
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            out.assign(static_cast<std::size_t>(needed), '\0');
            continue;
        }
        if (U_FAILURE(status)) {
            break;
        }
        out.resize(static_cast<std::size_t>(needed));
        return out;
    }
    return asciiLowercased(text);
}

}  // namespace m2::platform
