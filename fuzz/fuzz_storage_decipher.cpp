// Stored settings are user-editable, so deciphering must cope with any bytes.
#include "cipher/storagecipher.h"
#include "quietlogs.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 1 << 20)
        return 0;
    const QByteArray input(reinterpret_cast<const char *>(data), static_cast<int>(size));

    const QByteArray plain = kora::decipherFromStorage(input);
    // Never longer than its input, never containing the zero it stops at.
    if (plain.size() > input.size() || plain.contains('\0'))
        std::abort();
    if (!plain.isEmpty() && (input.size() % 16 != 0))
        std::abort();
    // Anything that deciphers is zero-free text, which must survive a new round trip.
    if (!plain.isEmpty() && kora::decipherFromStorage(kora::encipherForStorage(plain)) != plain)
        std::abort();

    // The input as plain text: every byte is enciphered, and deciphering gives the
    // text before the first zero.
    const QByteArray cipher = kora::encipherForStorage(input);
    if (cipher.size() != (input.size() / 16 + 1) * 16)
        std::abort();
    const int zero = input.indexOf('\0');
    const QByteArray expected = zero < 0 ? input : input.left(zero);
    if (kora::decipherFromStorage(cipher) != expected)
        std::abort();
    return 0;
}
