#pragma once

#include <cstddef>
#include <cstdint>

// Rijndael block cipher with key and block lengths of 16, 24 or 32 bytes.
// With a 16-byte block this is AES; the wider blocks are kept because the stored
// data format allows them.
//
// Not thread-safe: the chain block changes with every CBC/CFB call.
class AES
{
public:
    enum Mode { ECB = 0, CBC = 1, CFB = 2 };

    static constexpr int kMaxRounds = 14;
    static constexpr int kMaxBlockWords = 8;

    AES() = default;
    virtual ~AES();

    // Expands the round keys. `key` must hold keyLength bytes; `chain`, when given,
    // blockLength bytes (the IV for CBC/CFB; all zero when null). Returns false and
    // leaves the object uninitialized when the key is null or a length is not 16/24/32.
    bool makeKey(const char *key, const char *chain, int keyLength = 16, int blockLength = 16);

    // Restores the chain block given to makeKey, e.g. to decipher what was just enciphered.
    void resetChain();

    bool isInitialized() const { return m_initialized; }
    int keyLength() const { return m_keyLength; }
    int blockLength() const { return m_blockLength; }
    int rounds() const { return m_rounds; }

    // One block of blockLength() bytes; `in` and `out` may be the same buffer.
    // No effect while uninitialized.
    void encryptBlock(const char *in, char *out);
    void decryptBlock(const char *in, char *out);

    // Enciphers n bytes (a positive multiple of blockLength(); otherwise, or while
    // uninitialized, nothing happens). `in` is taken as text: it must hold n bytes or
    // be zero-terminated within them, and nothing past n bytes is read. The text is
    // padded to the next full block with bytes holding the pad count, any room left up
    // to n is zero, and the first n bytes of that are enciphered. So an n-byte input
    // without a zero byte is enciphered as it is (its padding falls past n).
    void encrypt(const char *in, char *out, size_t n, int mode = ECB);

    // Deciphers n bytes (same preconditions as encrypt), then strips the padding:
    // with p the last byte, 1 <= p <= 22 and p <= n, the last p bytes must equal p and
    // become 0; if one differs, all n output bytes become 0 and a warning goes to the
    // settings' log category. Any other p leaves the output as deciphered. `in` may equal `out`.
    void decrypt(const char *in, char *out, size_t n, int mode = ECB);

private:
    void encryptWords(const uint8_t *in, uint8_t *out) const;
    void decryptWords(const uint8_t *in, uint8_t *out) const;

    bool m_initialized = false;
    int m_keyLength = 0;
    int m_blockLength = 0;
    int m_rounds = 0;
    uint32_t m_ke[kMaxRounds + 1][kMaxBlockWords] = {};
    uint32_t m_kd[kMaxRounds + 1][kMaxBlockWords] = {};
    uint8_t m_chain[kMaxBlockWords * 4] = {};
    uint8_t m_chain0[kMaxBlockWords * 4] = {};
};
