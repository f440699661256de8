#include "app/services/PasswordStrength.h"

#include <algorithm>

#include "app/services/CommonPasswords.h"
#include "platform/Text.h"

namespace m2 {
namespace {

struct Row {
    std::string_view image;
    std::string_view details;
};

constexpr Row rows[] = {
    {"signal-1",
     "Your password is very short. The longer the password is the more secure it will be"},
    {"signal-1", "Try making your password longer, including capitals, numbers or symbols"},
    {"signal-2", "Your password is weak. Try adding some numbers, symbols or capitals"},
    {"signal-3", "Your password is fairly secure. Try adding a number or symbol"},
    {"signal-4", "Your password is good enough to safely gaurd your sensitive information"},
    {"signal-5", "Your password is very strong"},
    {"signal-common", "Your password is very commonly used. It would be cracked almost instantly"},
};

const Row& rowOf(PasswordStrengthValue v) {
    return rows[std::min<std::size_t>(hashValue(v), std::size(rows) - 1)];
}

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool isCommon(std::string_view password) {
    const auto& list = commonPasswords();
    if (isAscii(password)) {
        return std::find(list.begin(), list.end(), password) != list.end();
    }
    // A non-ASCII text can still be canonically one of them (the Kelvin sign is "K").
    return std::any_of(list.begin(), list.end(), [&](std::string_view common) {
        return platform::canonicallyEqual(password, common);
    });
}

int score(std::string_view password, std::size_t length) {
    int lower = 0, digits = 0, upper = 0, symbols = 0;
    platform::forEachScalar(password, [&](char32_t c) {
        switch (platform::characterClassOf(c)) {
            case platform::CharacterClass::lowercase:
                ++lower;
                break;
            case platform::CharacterClass::decimalDigit:
                ++digits;
                break;
            case platform::CharacterClass::uppercase:
                ++upper;
                break;
            case platform::CharacterClass::symbol:
                ++symbols;
                break;
            case platform::CharacterClass::other:
                break;
        }
    });
    int s = length >= 7 ? static_cast<int>(std::min<std::size_t>(length, 1u << 30)) : -100;
    if (lower > 0) {
        s += 1;
    }
    if (upper > 0) {
        s += upper > 2 ? 7 : 5;
    }
    if (digits > 0) {
        s += digits > 2 ? 10 : 5;
    }
    if (symbols > 0) {
        s += 5 + (symbols >= 2 ? 5 : 0) + (digits > 0 ? 1 : 0);
    }
    if (upper + lower > 0) {
        s += (symbols > 0 ? 1 : 0) + (digits > 0 ? 2 : 0);
    }
    if (lower > 0 && upper > 0) {
        s += 2;
    }
    return s;
}

PasswordStrengthRating rate(std::string_view password) {
    const std::size_t length = platform::graphemeCount(password);
    if (length == 0) {
        return {PasswordStrengthValue::toShort, "Empty"};
    }
    if (length <= 5) {
        return {PasswordStrengthValue::toShort, "Too Short"};
    }
    const int s = score(password, length);
    if (s < 10) {
        return {PasswordStrengthValue::veryWeak, "Very Weak"};
    }
    if (s < 20) {
        return {PasswordStrengthValue::Weak, "Weak"};
    }
    if (s < 30) {
        return {PasswordStrengthValue::Fair, "Fair"};
    }
    if (s < 40) {
        return {PasswordStrengthValue::Good, "Good"};
    }
    return {PasswordStrengthValue::Strong, "Strong"};
}

}  // namespace

std::optional<PasswordStrengthValue> passwordStrengthValue(int raw) {
    if (raw < 1 || raw > 7) {
        return std::nullopt;
    }
    return static_cast<PasswordStrengthValue>(raw);
}

std::string_view image(PasswordStrengthValue v) {
    return rowOf(v).image;
}

std::string_view details(PasswordStrengthValue v) {
    return rowOf(v).details;
}

PasswordStrengthRating passwordStrength(std::string_view password) {
    if (isCommon(password)) {
        return {PasswordStrengthValue::Common, "Common"};
    }
    return rate(password);
}

}  // namespace m2
