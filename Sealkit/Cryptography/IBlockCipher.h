#pragma once

// Global, as callers outside the engine namespace name it that way.
class IBlockCipher {
  public:
    virtual ~IBlockCipher() = default;
    virtual void Initialize(const unsigned char* key, int length) = 0;
    virtual void Encode(const unsigned char* input, unsigned char* output,
                        unsigned int length) const = 0;
    virtual void Decode(const unsigned char* input, unsigned char* output,
                        unsigned int length) const = 0;
    virtual int getBlockSize() const = 0;
};
