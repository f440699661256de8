#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// The initialisation vector of one file operation, and its upper-case hex text.
// Global, as callers outside the engine namespace name it that way.
class IV {
  public:
    using NonceSource = std::function<std::uint32_t()>;

    // nonceSource replaces GenerateNonce, so tests can fix the random number.
    explicit IV(int size, NonceSource nonceSource = {});
    IV(const IV&) = delete;
    IV& operator=(const IV&) = delete;

    // A fresh random IV: the MD5-variant digest of the nonce's "%d" text.
    void generate();
    // One value from a Mersenne Twister seeded from the system random device.
    static std::uint32_t GenerateNonce();
    // Sets the bytes from hex text; the hex text field is left as it was. The bytes are
    // zeroed first and at most size pairs are read, stopping at the first pair that is
    // not hex; an empty or odd-length text leaves them all zero.
    void setIV(const std::string& hex);
    [[nodiscard]] std::string toHex() const { return hexText; }
    // size bytes, zero until generate() or setIV().
    [[nodiscard]] unsigned char* getRaw() { return raw.get(); }
    [[nodiscard]] const unsigned char* getRaw() const { return raw.get(); }
    [[nodiscard]] int getSize() const { return size; }

  private:
    int size;
    std::unique_ptr<unsigned char[]> raw;
    std::string hexText;
    NonceSource nonceSource;
};
