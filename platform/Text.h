#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace m2::platform {

// Whether the bytes are well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF).
[[nodiscard]] bool isValidUtf8(std::string_view bytes);

// Length of the well-formed UTF-8 sequence at `pos` and its scalar value; 0 when the bytes
// there are not one (overlong forms, surrogates and values past U+10FFFF included).
[[nodiscard]] std::size_t utf8SequenceAt(std::string_view bytes, std::size_t pos, char32_t& scalar);

// User-perceived characters (extended grapheme clusters): "e" + combining acute is one.
// Ill-formed sequences count as one U+FFFD each.
[[nodiscard]] std::size_t graphemeCount(std::string_view utf8);

// Unicode canonical equivalence: texts that differ only in how accented characters are
// composed are equal. Ill-formed texts are equal only byte for byte.
[[nodiscard]] bool canonicallyEqual(std::string_view a, std::string_view b);

// Calls `visit` with every Unicode scalar value of the text in order; an ill-formed
// sequence is visited as U+FFFD.
void forEachScalar(std::string_view utf8, const std::function<void(char32_t)>& visit);

// The four character classes used to rate passwords, tested in this order.
enum class CharacterClass { lowercase, decimalDigit, uppercase, symbol, other };
[[nodiscard]] CharacterClass characterClassOf(char32_t scalar);

// Unicode lower case without locale rules (the same mapping for every user language).
// A text that is not valid UTF-8 has only its ASCII letters lowered and every other byte
// kept, so two different file names never become the same text.
[[nodiscard]] std::string lowercased(std::string_view text);

}  // namespace m2::platform
