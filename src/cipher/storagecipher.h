#pragma once

#include <QByteArray>

namespace kora {

// Fixed AES-256 key for secrets kept in the settings file. It only keeps them from
// being read at a glance; anyone with the binary can recover them.
extern const char kSettingsKey[];

// Pads (1..16 bytes, each holding the count) and enciphers with AES-256 ECB under
// kSettingsKey. Every byte of `plain` is enciphered, zero bytes included.
QByteArray encipherForStorage(const QByteArray &plain);

// Reverses encipherForStorage and returns the text up to its first zero byte.
// Empty for empty input, a length that is not a multiple of 16, or bad padding.
QByteArray decipherFromStorage(const QByteArray &cipher);

} // namespace kora
