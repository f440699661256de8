#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "Sealkit/Cryptography/Wipe.h"

namespace Morvane::Security {

// Compares without an early exit, so the time taken says nothing about the secret.
[[nodiscard]] inline bool equalInConstantTime(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    }
    return difference == 0;
}

// A password, derived key or key-file text. Its bytes live in one buffer of its own that is
// wiped whenever they go: on destruction, reassignment, clearing and growth. A move hands the
// buffer over without copying. There is no conversion to std::string: view() lends the bytes
// for as long as the secret lives.
class Secret {
  public:
    Secret() = default;
    explicit Secret(std::string_view text) { append(text); }
    // Takes a text that some interface handed out as a plain string, and wipes that string.
    [[nodiscard]] static Secret adopt(std::string& text) {
        Secret secret(text);
        wipe(text);
        return secret;
    }
    Secret(const Secret& other) : Secret(other.view()) {}
    Secret(Secret&& other) noexcept
        : bytes_(std::move(other.bytes_)),
          size_(std::exchange(other.size_, 0)),
          capacity_(std::exchange(other.capacity_, 0)) {}
    Secret& operator=(const Secret& other) {
        if (this != &other) {
            Secret copy(other);
            *this = std::move(copy);
        }
        return *this;
    }
    Secret& operator=(Secret&& other) noexcept {
        if (this != &other) {
            release();
            bytes_ = std::move(other.bytes_);
            size_ = std::exchange(other.size_, 0);
            capacity_ = std::exchange(other.capacity_, 0);
        }
        return *this;
    }
    ~Secret() { release(); }

    [[nodiscard]] std::string_view view() const { return {data(), size_}; }
    // Always zero-terminated, for the interfaces that read up to the first zero byte.
    [[nodiscard]] const char* data() const { return bytes_ ? bytes_.get() : ""; }
    [[nodiscard]] const unsigned char* bytes() const {
        return reinterpret_cast<const unsigned char*>(data());
    }
    [[nodiscard]] std::size_t size() const { return size_; }
    [[nodiscard]] bool empty() const { return size_ == 0; }

    void append(std::string_view text) {
        reserve(size_ + text.size());
        std::copy(text.begin(), text.end(), bytes_.get() + size_);
        size_ += text.size();
        bytes_[size_] = '\0';
    }
    void push_back(char c) { append(std::string_view(&c, 1)); }
    // Room for length bytes, so a text built piece by piece never moves (and leaves a copy).
    void reserve(std::size_t length) {
        if (length < capacity_) {
            return;
        }
        const std::size_t capacity = std::max<std::size_t>({length + 1, capacity_ * 2, 32});
        auto grown = std::make_unique<char[]>(capacity);
        const std::size_t size = size_;
        std::copy(data(), data() + size, grown.get());
        release();
        bytes_ = std::move(grown);
        capacity_ = capacity;
        size_ = size;
    }
    void clear() {
        if (bytes_) {
            wipe(bytes_.get(), capacity_);
        }
        size_ = 0;
    }

    // Equal texts compare equal; the time taken does not depend on where they differ.
    [[nodiscard]] friend bool operator==(const Secret& a, const Secret& b) {
        return sameBytes(a.view(), b.view());
    }
    [[nodiscard]] friend bool operator==(const Secret& a, std::string_view b) {
        return sameBytes(a.view(), b);
    }

  private:
    static bool sameBytes(std::string_view a, std::string_view b) {
        return equalInConstantTime(a, b);
    }
    void release() {
        clear();
        bytes_.reset();
        capacity_ = 0;
    }

    std::unique_ptr<char[]> bytes_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace Morvane::Security
