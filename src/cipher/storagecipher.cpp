#include "cipher/storagecipher.h"

#include "cipher/aes.h"

#include <cstring>

namespace kora {

// 32 characters used as 32 key bytes; the terminating zero is not part of the key.
const char kSettingsKey[] = "Mavo KELTR Vintoraska Plumeridos";
static_assert(sizeof kSettingsKey == 33, "settings key must be 32 bytes");

namespace {
constexpr int kBlock = 16;

bool makeSettingsKey(AES &aes)
{
    return aes.makeKey(kSettingsKey, nullptr, 32, kBlock);
}
} // namespace

QByteArray encipherForStorage(const QByteArray &plain)
{
    // Padded here rather than by AES::encrypt, which treats its input as text and
    // would stop at the first zero byte.
    const int pad = kBlock - plain.size() % kBlock;
    QByteArray out = plain;
    out.append(QByteArray(pad, static_cast<char>(pad)));

    AES aes;
    if (!makeSettingsKey(aes))
        return QByteArray();
    char *data = out.data();
    for (int off = 0; off < out.size(); off += kBlock)
        aes.encryptBlock(data + off, data + off);
    return out;
}

QByteArray decipherFromStorage(const QByteArray &cipher)
{
    if (cipher.isEmpty() || cipher.size() % kBlock != 0)
        return QByteArray();

    AES aes;
    if (!makeSettingsKey(aes))
        return QByteArray();
    // Sized to the input: stored values have no upper length.
    QByteArray plain(cipher.size(), '\0');
    aes.decrypt(cipher.constData(), plain.data(), static_cast<size_t>(cipher.size()), AES::ECB);

    // Stripped padding reads as zeros, a failed strip zeroes everything.
    const void *end = std::memchr(plain.constData(), 0, static_cast<size_t>(plain.size()));
    if (end)
        plain.truncate(static_cast<int>(static_cast<const char *>(end) - plain.constData()));
    return plain;
}

} // namespace kora
