#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Account passwords are kept only as salted PBKDF2-HMAC-SHA256 digests.
namespace PasswordHash {

inline constexpr int SaltLength = 16;
inline constexpr int KeyLength = 32;

QByteArray pbkdf2Sha256(QByteArrayView password, QByteArrayView salt, int iterations, int keyLength);
QByteArray newSalt();
// Runs in time that depends only on the lengths, so a wrong password
// reveals nothing about how much of it matched.
bool constantTimeEquals(QByteArrayView a, QByteArrayView b);

} // namespace PasswordHash
