#include "cipher/aes.h"

#include "log/categories.h"
#include "log/trace.h"

#include <cstring>

namespace {

// All tables are derived at compile time from the field arithmetic, so there is no
// hand-typed constant to get wrong.
struct Tables
{
    uint8_t s[256];       // S-box
    uint8_t si[256];      // inverse S-box
    uint32_t te[4][256];  // SubBytes + MixColumns, one table per input row
    uint32_t td[4][256];  // InvSubBytes + InvMixColumns
    uint8_t rcon[30];     // enough for the longest schedule (32-byte block, 16-byte key)
};

constexpr uint8_t xtime(uint8_t a)
{
    return static_cast<uint8_t>((a << 1) ^ ((a & 0x80) ? 0x1b : 0x00));
}

constexpr uint8_t gmul(uint8_t a, uint8_t b)
{
    uint8_t r = 0;
    while (b) {
        if (b & 1)
            r ^= a;
        a = xtime(a);
        b >>= 1;
    }
    return r;
}

constexpr uint8_t rotl8(uint8_t v, int n)
{
    return static_cast<uint8_t>((v << n) | (v >> (8 - n)));
}

constexpr uint32_t ror32(uint32_t v, int n)
{
    return n == 0 ? v : (v >> n) | (v << (32 - n));
}

constexpr uint32_t word(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3)
{
    return (uint32_t(b0) << 24) | (uint32_t(b1) << 16) | (uint32_t(b2) << 8) | uint32_t(b3);
}

constexpr Tables buildTables()
{
    Tables t{};

    // Powers of the generator 3 give logarithms, hence multiplicative inverses.
    uint8_t expo[256] = {};
    uint8_t loga[256] = {};
    uint8_t x = 1;
    for (int i = 0; i < 255; ++i) {
        expo[i] = x;
        loga[x] = static_cast<uint8_t>(i);
        x = static_cast<uint8_t>(x ^ xtime(x));
    }

    for (int a = 0; a < 256; ++a) {
        const uint8_t inv = a == 0 ? 0 : expo[(255 - loga[a]) % 255];
        const uint8_t s = static_cast<uint8_t>(inv ^ rotl8(inv, 1) ^ rotl8(inv, 2) ^ rotl8(inv, 3)
                                               ^ rotl8(inv, 4) ^ 0x63);
        t.s[a] = s;
        t.si[s] = static_cast<uint8_t>(a);
    }

    for (int a = 0; a < 256; ++a) {
        const uint8_t s = t.s[a];
        const uint8_t si = t.si[a];
        const uint32_t e = word(gmul(s, 2), s, s, gmul(s, 3));
        const uint32_t d = word(gmul(si, 14), gmul(si, 9), gmul(si, 13), gmul(si, 11));
        for (int k = 0; k < 4; ++k) {
            t.te[k][a] = ror32(e, 8 * k);
            t.td[k][a] = ror32(d, 8 * k);
        }
    }

    uint8_t r = 1;
    for (auto &c : t.rcon) {
        c = r;
        r = xtime(r);
    }
    return t;
}

constexpr Tables T = buildTables();

// Row shift offsets for rows 1..3 by block width (4, 6 or 8 columns).
constexpr int shiftFor(int columns, int row)
{
    return columns == 8 ? (row == 1 ? 1 : row + 1) : row;
}

uint32_t subWord(uint32_t w)
{
    return word(T.s[w >> 24], T.s[(w >> 16) & 0xff], T.s[(w >> 8) & 0xff], T.s[w & 0xff]);
}

uint32_t loadWord(const uint8_t *p)
{
    return word(p[0], p[1], p[2], p[3]);
}

bool validLength(int n)
{
    return n == 16 || n == 24 || n == 32;
}

void xorInto(uint8_t *dst, const uint8_t *src, int n)
{
    for (int i = 0; i < n; ++i)
        dst[i] ^= src[i];
}

void wipe(void *p, size_t n)
{
    // volatile so the clearing of key material is not dropped as a dead store
    auto *v = static_cast<volatile uint8_t *>(p);
    while (n--)
        *v++ = 0;
}

} // namespace

AES::~AES()
{
    wipe(m_ke, sizeof m_ke);
    wipe(m_kd, sizeof m_kd);
    wipe(m_chain, sizeof m_chain);
    wipe(m_chain0, sizeof m_chain0);
}

bool AES::makeKey(const char *key, const char *chain, int keyLength, int blockLength)
{
    if (!key || !validLength(keyLength) || !validLength(blockLength))
        return false;

    m_keyLength = keyLength;
    m_blockLength = blockLength;
    const int nk = keyLength / 4;
    const int nb = blockLength / 4;
    m_rounds = (nk > nb ? nk : nb) + 6;

    std::memset(m_chain0, 0, sizeof m_chain0);
    if (chain)
        std::memcpy(m_chain0, chain, static_cast<size_t>(blockLength));
    resetChain();

    // Key schedule as a flat word sequence, then cut into rounds of nb words.
    uint32_t w[(kMaxRounds + 1) * kMaxBlockWords] = {};
    const int total = nb * (m_rounds + 1);
    const auto *k = reinterpret_cast<const uint8_t *>(key);
    for (int i = 0; i < nk; ++i)
        w[i] = loadWord(k + 4 * i);
    for (int i = nk; i < total; ++i) {
        uint32_t t = w[i - 1];
        if (i % nk == 0)
            t = subWord(ror32(t, 24)) ^ (uint32_t(T.rcon[i / nk - 1]) << 24);
        else if (nk > 6 && i % nk == 4)
            t = subWord(t);
        w[i] = w[i - nk] ^ t;
    }

    std::memset(m_ke, 0, sizeof m_ke);
    std::memset(m_kd, 0, sizeof m_kd);
    for (int r = 0; r <= m_rounds; ++r)
        for (int j = 0; j < nb; ++j)
            m_ke[r][j] = w[r * nb + j];
    wipe(w, sizeof w);

    // Decryption keys for the equivalent inverse cipher: reversed order, inner rounds
    // passed through InvMixColumns (te of S then td cancels the substitution).
    for (int j = 0; j < nb; ++j) {
        m_kd[0][j] = m_ke[m_rounds][j];
        m_kd[m_rounds][j] = m_ke[0][j];
    }
    for (int r = 1; r < m_rounds; ++r) {
        for (int j = 0; j < nb; ++j) {
            const uint32_t v = m_ke[m_rounds - r][j];
            m_kd[r][j] = T.td[0][T.s[v >> 24]] ^ T.td[1][T.s[(v >> 16) & 0xff]]
                ^ T.td[2][T.s[(v >> 8) & 0xff]] ^ T.td[3][T.s[v & 0xff]];
        }
    }

    m_initialized = true;
    return true;
}

void AES::resetChain()
{
    std::memcpy(m_chain, m_chain0, sizeof m_chain);
}

void AES::encryptWords(const uint8_t *in, uint8_t *out) const
{
    const int nb = m_blockLength / 4;
    const int c1 = shiftFor(nb, 1), c2 = shiftFor(nb, 2), c3 = shiftFor(nb, 3);
    uint32_t s[kMaxBlockWords];
    uint32_t t[kMaxBlockWords];
    for (int j = 0; j < nb; ++j)
        s[j] = loadWord(in + 4 * j) ^ m_ke[0][j];
    for (int r = 1; r < m_rounds; ++r) {
        for (int j = 0; j < nb; ++j) {
            t[j] = T.te[0][s[j] >> 24] ^ T.te[1][(s[(j + c1) % nb] >> 16) & 0xff]
                ^ T.te[2][(s[(j + c2) % nb] >> 8) & 0xff] ^ T.te[3][s[(j + c3) % nb] & 0xff]
                ^ m_ke[r][j];
        }
        std::memcpy(s, t, sizeof s);
    }
    for (int j = 0; j < nb; ++j) {
        const uint32_t k = m_ke[m_rounds][j];
        out[4 * j + 0] = static_cast<uint8_t>(T.s[s[j] >> 24] ^ (k >> 24));
        out[4 * j + 1] = static_cast<uint8_t>(T.s[(s[(j + c1) % nb] >> 16) & 0xff] ^ (k >> 16));
        out[4 * j + 2] = static_cast<uint8_t>(T.s[(s[(j + c2) % nb] >> 8) & 0xff] ^ (k >> 8));
        out[4 * j + 3] = static_cast<uint8_t>(T.s[s[(j + c3) % nb] & 0xff] ^ k);
    }
}

void AES::decryptWords(const uint8_t *in, uint8_t *out) const
{
    const int nb = m_blockLength / 4;
    // Inverse row shift: take from the left instead of the right.
    const int c1 = nb - shiftFor(nb, 1), c2 = nb - shiftFor(nb, 2), c3 = nb - shiftFor(nb, 3);
    uint32_t s[kMaxBlockWords];
    uint32_t t[kMaxBlockWords];
    for (int j = 0; j < nb; ++j)
        s[j] = loadWord(in + 4 * j) ^ m_kd[0][j];
    for (int r = 1; r < m_rounds; ++r) {
        for (int j = 0; j < nb; ++j) {
            t[j] = T.td[0][s[j] >> 24] ^ T.td[1][(s[(j + c1) % nb] >> 16) & 0xff]
                ^ T.td[2][(s[(j + c2) % nb] >> 8) & 0xff] ^ T.td[3][s[(j + c3) % nb] & 0xff]
                ^ m_kd[r][j];
        }
        std::memcpy(s, t, sizeof s);
    }
    for (int j = 0; j < nb; ++j) {
        const uint32_t k = m_kd[m_rounds][j];
        out[4 * j + 0] = static_cast<uint8_t>(T.si[s[j] >> 24] ^ (k >> 24));
        out[4 * j + 1] = static_cast<uint8_t>(T.si[(s[(j + c1) % nb] >> 16) & 0xff] ^ (k >> 16));
        out[4 * j + 2] = static_cast<uint8_t>(T.si[(s[(j + c2) % nb] >> 8) & 0xff] ^ (k >> 8));
        out[4 * j + 3] = static_cast<uint8_t>(T.si[s[(j + c3) % nb] & 0xff] ^ k);
    }
}

void AES::encryptBlock(const char *in, char *out)
{
    if (!m_initialized || !in || !out)
        return;
    uint8_t tmp[kMaxBlockWords * 4];
    encryptWords(reinterpret_cast<const uint8_t *>(in), tmp);
    std::memcpy(out, tmp, static_cast<size_t>(m_blockLength));
}

void AES::decryptBlock(const char *in, char *out)
{
    if (!m_initialized || !in || !out)
        return;
    uint8_t tmp[kMaxBlockWords * 4];
    decryptWords(reinterpret_cast<const uint8_t *>(in), tmp);
    std::memcpy(out, tmp, static_cast<size_t>(m_blockLength));
}

void AES::encrypt(const char *in, char *out, size_t n, int mode)
{
    if (!m_initialized || !in || !out || n == 0 || n % static_cast<size_t>(m_blockLength) != 0)
        return;
    if (mode != ECB && mode != CBC && mode != CFB)
        return;

    const size_t bl = static_cast<size_t>(m_blockLength);
    const void *end = std::memchr(in, 0, n);
    const size_t len = end ? static_cast<size_t>(static_cast<const char *>(end) - in) : n;
    const size_t padded = (len / bl + 1) * bl;
    const auto pad = static_cast<uint8_t>(padded - len);
    const auto *src = reinterpret_cast<const uint8_t *>(in);
    auto *dst = reinterpret_cast<uint8_t *>(out);

    uint8_t block[kMaxBlockWords * 4];
    uint8_t key[kMaxBlockWords * 4];
    for (size_t off = 0; off < n; off += bl) {
        // The padded text is built block by block, so `in` may be `out`.
        for (size_t i = 0; i < bl; ++i) {
            const size_t at = off + i;
            block[i] = at < len ? src[at] : (at < padded ? pad : 0);
        }
        switch (mode) {
        case ECB:
            encryptWords(block, dst + off);
            break;
        case CBC:
            xorInto(block, m_chain, m_blockLength);
            encryptWords(block, dst + off);
            std::memcpy(m_chain, dst + off, bl);
            break;
        case CFB:
            encryptWords(m_chain, key);
            xorInto(block, key, m_blockLength);
            std::memcpy(dst + off, block, bl);
            std::memcpy(m_chain, block, bl);
            break;
        }
    }
}

void AES::decrypt(const char *in, char *out, size_t n, int mode)
{
    if (!m_initialized || !in || !out || n == 0 || n % static_cast<size_t>(m_blockLength) != 0)
        return;
    if (mode != ECB && mode != CBC && mode != CFB)
        return;

    const size_t bl = static_cast<size_t>(m_blockLength);
    const auto *src = reinterpret_cast<const uint8_t *>(in);
    auto *dst = reinterpret_cast<uint8_t *>(out);

    uint8_t cipher[kMaxBlockWords * 4];
    uint8_t plain[kMaxBlockWords * 4];
    for (size_t off = 0; off < n; off += bl) {
        // Keep the cipher block aside: the chain needs it after `out` may have overwritten it.
        std::memcpy(cipher, src + off, bl);
        switch (mode) {
        case ECB:
            decryptWords(cipher, plain);
            break;
        case CBC:
            decryptWords(cipher, plain);
            xorInto(plain, m_chain, m_blockLength);
            std::memcpy(m_chain, cipher, bl);
            break;
        case CFB:
            encryptWords(m_chain, plain);
            xorInto(plain, cipher, m_blockLength);
            std::memcpy(m_chain, cipher, bl);
            break;
        }
        std::memcpy(dst + off, plain, bl);
    }

    const size_t p = dst[n - 1];
    if (p < 1 || p > 22 || p > n)
        return;
    for (size_t i = n - p; i < n; ++i) {
        if (dst[i] != p) {
            std::memset(dst, 0, n);
            // Only the stored settings are deciphered: a damaged value is theirs to report.
            KWARN(lcSettings) << "remove padding failed!" << n << "deciphered bytes discarded";
            return;
        }
    }
    std::memset(dst + n - p, 0, p);
}
