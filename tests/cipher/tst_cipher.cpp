#include "cipher/aes.h"
#include "cipher/storagecipher.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QtTest>

#include <cstdio>
#include <cstring>
#include <memory>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace kora;

// QSKIP's variadic form trips clang's -Wpedantic in Qt 5.
#define SKIP_TEST(message)                                                                         \
    do {                                                                                           \
        QTest::qSkip(message, __FILE__, __LINE__);                                                 \
        return;                                                                                    \
    } while (false)

namespace {

QByteArray hex(const char *h)
{
    return QByteArray::fromHex(h);
}

QByteArray settingsKey()
{
    return QByteArray(kSettingsKey, 32);
}

// Block-wise ECB through encryptBlock/decryptBlock only, free of any text/padding rule.
QByteArray encipherBlocks(AES &aes, const QByteArray &in)
{
    QByteArray out(in.size(), '\0');
    for (int off = 0; off < in.size(); off += aes.blockLength())
        aes.encryptBlock(in.constData() + off, out.data() + off);
    return out;
}

QByteArray decipherBlocks(AES &aes, const QByteArray &in)
{
    QByteArray out(in.size(), '\0');
    for (int off = 0; off < in.size(); off += aes.blockLength())
        aes.decryptBlock(in.constData() + off, out.data() + off);
    return out;
}

QByteArray runEncrypt(AES &aes, const QByteArray &in, int mode)
{
    QByteArray out(in.size(), '\0');
    aes.encrypt(in.constData(), out.data(), static_cast<size_t>(in.size()), mode);
    return out;
}

QByteArray runDecrypt(AES &aes, const QByteArray &in, int mode)
{
    QByteArray out(in.size(), '\0');
    aes.decrypt(in.constData(), out.data(), static_cast<size_t>(in.size()), mode);
    return out;
}

QByteArray randomBytes(QRandomGenerator &rng, int n, uchar lowest = 0)
{
    QByteArray b(n, '\0');
    for (char &c : b)
        c = static_cast<char>(lowest + rng.bounded(256 - lowest));
    return b;
}

#ifdef Q_OS_UNIX
// Runs `f` with stdout going into a pipe and returns what it printed.
template <typename F>
QByteArray captureStdout(F f)
{
    std::fflush(stdout);
    int fds[2];
    if (pipe(fds) != 0)
        return "<pipe failed>";
    const int saved = dup(STDOUT_FILENO);
    dup2(fds[1], STDOUT_FILENO);
    f();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    close(fds[1]);
    QByteArray got;
    char buf[256];
    ssize_t r;
    while ((r = read(fds[0], buf, sizeof buf)) > 0)
        got.append(buf, static_cast<int>(r));
    close(fds[0]);
    return got;
}
#endif

} // namespace

class TestCipher : public QObject
{
    Q_OBJECT
private slots:
    void knownAnswers_data();
    void knownAnswers();
    void widerBlocks_data();
    void widerBlocks();
    void widerBlocksRoundTrip_data();
    void widerBlocksRoundTrip();
    void rounds_data();
    void rounds();
    void opensslCrossCheck_data();
    void opensslCrossCheck();
    void storageAgainstOpenssl();

    void makeKeyRejects_data();
    void makeKeyRejects();
    void uninitializedDoesNothing();
    void badLengthDoesNothing_data();
    void badLengthDoesNothing();
    void encryptReadsText();
    void encryptStopsAtN();
    void chainCarriesAcrossCalls();
    void nullChainIsZero();
    void decryptPaddingRule_data();
    void decryptPaddingRule();
    void paddingFailureIsLogged_data();
    void paddingFailureIsLogged();

    void storagePadding_data();
    void storagePadding();
    void storageKnownAnswer();
    void storageRoundTrip_data();
    void storageRoundTrip();
    void storageBadLength_data();
    void storageBadLength();
    void storagePaddingFailure();
    void storageStopsAtZero();
};

void TestCipher::knownAnswers_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("plain");
    QTest::addColumn<QByteArray>("cipher");

    // FIPS-197 Appendix C, plus the worked example of Appendix B.
    const QByteArray p = hex("00112233445566778899aabbccddeeff");
    QTest::newRow("C.1 AES-128") << hex("000102030405060708090a0b0c0d0e0f") << p
                                 << hex("69c4e0d86a7b0430d8cdb78070b4c55a");
    QTest::newRow("C.2 AES-192") << hex("000102030405060708090a0b0c0d0e0f1011121314151617") << p
                                 << hex("dda97ca4864cdfe06eaf70a0ec0d7191");
    QTest::newRow("C.3 AES-256")
        << hex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f") << p
        << hex("8ea2b7ca516745bfeafc49904b496089");
    QTest::newRow("B AES-128") << hex("2b7e151628aed2a6abf7158809cf4f3c")
                               << hex("3243f6a8885a308d313198a2e0370734")
                               << hex("3925841d02dc09fbdc118597196a0b32");
}

void TestCipher::knownAnswers()
{
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, plain);
    QFETCH(QByteArray, cipher);

    AES aes;
    QVERIFY(aes.makeKey(key.constData(), nullptr, key.size(), 16));
    QCOMPARE(encipherBlocks(aes, plain), cipher);
    QCOMPARE(decipherBlocks(aes, cipher), plain);

    // In place.
    QByteArray buf = plain;
    aes.encryptBlock(buf.constData(), buf.data());
    QCOMPARE(buf, cipher);
    aes.decryptBlock(buf.constData(), buf.data());
    QCOMPARE(buf, plain);

    // Through the text interface: the last plain byte is above the padding range, so
    // nothing is stripped; encrypt needs a text without zero bytes.
    QCOMPARE(runDecrypt(aes, cipher, AES::ECB), plain);
    if (!plain.contains('\0'))
        QCOMPARE(runEncrypt(aes, plain, AES::ECB), cipher);
}

void TestCipher::widerBlocks_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("plain");
    QTest::addColumn<QByteArray>("cipher");

    // From a plain byte-oriented model of the cipher (no combined tables) that
    // reproduces the FIPS-197 vectors above; key = 00 01 02 ..., plain = 00 11 22 ...
    const QByteArray k16 = hex("000102030405060708090a0b0c0d0e0f");
    const QByteArray k24 = hex("000102030405060708090a0b0c0d0e0f1011121314151617");
    const QByteArray k32 = hex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
    const QByteArray p24 = hex("00112233445566778899aabbccddeeff1021324354657687");
    const QByteArray p32 = hex("00112233445566778899aabbccddeeff102132435465768798a9bacbdcedfe0f");
    QTest::newRow("key16 block24") << k16 << p24 << hex("e64018d211d8349b350f38893d7d23899fece7a9aca7c6ba");
    QTest::newRow("key24 block24") << k24 << p24 << hex("78be2d48f76d71da6966f3a175fb71ad66b70b2076c3cf1d");
    QTest::newRow("key32 block24") << k32 << p24 << hex("65d851df8d04b5cbb510935fdd1eb17b33efb8cb255ee712");
    QTest::newRow("key16 block32")
        << k16 << p32 << hex("98c6f98ba9631b91c34f431e0887c561b6ac44c985cecd38dbc4cb30b9170d2f");
    QTest::newRow("key24 block32")
        << k24 << p32 << hex("3c386395e910345a59a7dd165dcbda604bf072f0a03a6b0055a79b734e668868");
    QTest::newRow("key32 block32")
        << k32 << p32 << hex("288fa9d23d00d9dc0a39b33fa92867c6488b5e0f18a6f74c072078ec815462e6");
}

void TestCipher::widerBlocks()
{
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, plain);
    QFETCH(QByteArray, cipher);

    AES aes;
    QVERIFY(aes.makeKey(key.constData(), nullptr, key.size(), plain.size()));
    QCOMPARE(encipherBlocks(aes, plain), cipher);
    QCOMPARE(decipherBlocks(aes, cipher), plain);
}

void TestCipher::widerBlocksRoundTrip_data()
{
    QTest::addColumn<int>("keyLength");
    QTest::addColumn<int>("blockLength");
    QTest::addColumn<int>("mode");
    for (int kl : {16, 24, 32})
        for (int bl : {16, 24, 32})
            for (int mode : {AES::ECB, AES::CBC, AES::CFB})
                QTest::addRow("key%d block%d mode%d", kl, bl, mode) << kl << bl << mode;
}

void TestCipher::widerBlocksRoundTrip()
{
    QFETCH(int, keyLength);
    QFETCH(int, blockLength);
    QFETCH(int, mode);

    QRandomGenerator rng(uint(keyLength * 1000 + blockLength * 10 + mode));
    for (int i = 0; i < 20; ++i) {
        const QByteArray key = randomBytes(rng, keyLength);
        const QByteArray iv = randomBytes(rng, blockLength);
        // No zero bytes (text), last byte above the padding range (nothing stripped).
        QByteArray plain = randomBytes(rng, blockLength * (1 + i % 5), 1);
        plain[plain.size() - 1] = char(23 + rng.bounded(233));

        AES aes;
        QVERIFY(aes.makeKey(key.constData(), iv.constData(), keyLength, blockLength));
        const QByteArray cipher = runEncrypt(aes, plain, mode);
        QVERIFY(cipher != plain);
        aes.resetChain();
        QCOMPARE(runDecrypt(aes, cipher, mode), plain);

        QCOMPARE(decipherBlocks(aes, encipherBlocks(aes, plain)), plain);
    }
}

void TestCipher::rounds_data()
{
    QTest::addColumn<int>("keyLength");
    QTest::addColumn<int>("blockLength");
    QTest::addColumn<int>("rounds");
    QTest::newRow("16/16") << 16 << 16 << 10;
    QTest::newRow("24/16") << 24 << 16 << 12;
    QTest::newRow("32/16") << 32 << 16 << 14;
    QTest::newRow("16/24") << 16 << 24 << 12;
    QTest::newRow("16/32") << 16 << 32 << 14;
    QTest::newRow("24/32") << 24 << 32 << 14;
    QTest::newRow("32/24") << 32 << 24 << 14;
}

void TestCipher::rounds()
{
    QFETCH(int, keyLength);
    QFETCH(int, blockLength);
    QFETCH(int, rounds);
    const char key[32] = {};
    AES aes;
    QVERIFY(aes.makeKey(key, nullptr, keyLength, blockLength));
    QVERIFY(aes.isInitialized());
    QCOMPARE(aes.keyLength(), keyLength);
    QCOMPARE(aes.blockLength(), blockLength);
    QCOMPARE(aes.rounds(), rounds);
}

void TestCipher::opensslCrossCheck_data()
{
    QTest::addColumn<int>("keyLength");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("cipherName");
    const char *modes[] = {"ecb", "cbc", "cfb"};
    for (int kl : {16, 24, 32})
        for (int mode : {AES::ECB, AES::CBC, AES::CFB})
            QTest::addRow("aes-%d-%s", kl * 8, modes[mode])
                << kl << mode << QStringLiteral("-aes-%1-%2").arg(kl * 8).arg(QLatin1String(modes[mode]));
}

namespace {
QByteArray openssl(const QStringList &args, const QByteArray &input)
{
    QProcess p;
    p.start(QStringLiteral("openssl"), args);
    if (!p.waitForStarted(5000))
        return QByteArray();
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(10000) || p.exitCode() != 0)
        return QByteArray();
    return p.readAllStandardOutput();
}

bool haveOpenssl()
{
    return !QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty();
}
} // namespace

void TestCipher::opensslCrossCheck()
{
    QFETCH(int, keyLength);
    QFETCH(int, mode);
    QFETCH(QString, cipherName);
    if (!haveOpenssl())
        SKIP_TEST("openssl not on PATH");

    QRandomGenerator rng(uint(0x5eed0000 + keyLength * 16 + mode));
    for (int i = 0; i < 25; ++i) {
        const QByteArray key = randomBytes(rng, keyLength);
        const QByteArray iv = randomBytes(rng, 16);
        const int blocks = 1 + int(rng.bounded(16));
        QStringList args{QStringLiteral("enc"), cipherName, QStringLiteral("-nopad"),
                         QStringLiteral("-K"), QString::fromLatin1(key.toHex())};
        if (mode != AES::ECB)
            args << QStringLiteral("-iv") << QString::fromLatin1(iv.toHex());

        // Text-shaped input so encrypt takes it unchanged and decrypt strips nothing.
        QByteArray text = randomBytes(rng, 16 * blocks, 1);
        text[text.size() - 1] = char(23 + rng.bounded(233));
        const QByteArray expected = openssl(args, text);
        QCOMPARE(expected.size(), text.size());

        AES aes;
        QVERIFY(aes.makeKey(key.constData(), iv.constData(), keyLength, 16));
        QCOMPARE(runEncrypt(aes, text, mode).toHex(), expected.toHex());
        aes.resetChain();
        QCOMPARE(runDecrypt(aes, expected, mode).toHex(), text.toHex());

        // Arbitrary bytes, zeros included, through the single-block calls.
        if (mode == AES::ECB) {
            const QByteArray raw = randomBytes(rng, 16 * blocks);
            const QByteArray rawExpected = openssl(args, raw);
            QCOMPARE(encipherBlocks(aes, raw).toHex(), rawExpected.toHex());
            QCOMPARE(decipherBlocks(aes, rawExpected).toHex(), raw.toHex());
        }
    }
}

void TestCipher::storageAgainstOpenssl()
{
    if (!haveOpenssl())
        SKIP_TEST("openssl not on PATH");
    // openssl's default padding is the same count-byte padding used for storage.
    const QStringList args{QStringLiteral("enc"), QStringLiteral("-aes-256-ecb"), QStringLiteral("-K"),
                           QString::fromLatin1(settingsKey().toHex())};
    QRandomGenerator rng(77);
    for (int len : {0, 1, 15, 16, 17, 33, 100, 1500}) {
        const QByteArray plain = randomBytes(rng, len);
        QCOMPARE(encipherForStorage(plain).toHex(), openssl(args, plain).toHex());
    }
}

void TestCipher::makeKeyRejects_data()
{
    QTest::addColumn<bool>("nullKey");
    QTest::addColumn<int>("keyLength");
    QTest::addColumn<int>("blockLength");
    QTest::newRow("null key") << true << 16 << 16;
    QTest::newRow("key 0") << false << 0 << 16;
    QTest::newRow("key 15") << false << 15 << 16;
    QTest::newRow("key 20") << false << 20 << 16;
    QTest::newRow("key 64") << false << 64 << 16;
    QTest::newRow("key -16") << false << -16 << 16;
    QTest::newRow("block 8") << false << 16 << 8;
    QTest::newRow("block 17") << false << 16 << 17;
    QTest::newRow("block 64") << false << 32 << 64;
}

void TestCipher::makeKeyRejects()
{
    QFETCH(bool, nullKey);
    QFETCH(int, keyLength);
    QFETCH(int, blockLength);
    const char key[64] = {1, 2, 3};
    AES aes;
    QVERIFY(!aes.makeKey(nullKey ? nullptr : key, nullptr, keyLength, blockLength));
    QVERIFY(!aes.isInitialized());

    // Still unusable afterwards.
    char out[64];
    std::memset(out, 0x5a, sizeof out);
    aes.encrypt("abcdefghijklmnop", out, 16, AES::ECB);
    QCOMPARE(QByteArray(out, 16), QByteArray(16, 0x5a));
}

void TestCipher::uninitializedDoesNothing()
{
    AES aes;
    QVERIFY(!aes.isInitialized());
    const QByteArray in(32, 'x');
    const QByteArray untouched(32, char(0xaa));
    for (int mode : {AES::ECB, AES::CBC, AES::CFB}) {
        QByteArray out = untouched;
        aes.encrypt(in.constData(), out.data(), 32, mode);
        QCOMPARE(out, untouched);
        aes.decrypt(in.constData(), out.data(), 32, mode);
        QCOMPARE(out, untouched);
    }
    QByteArray out = untouched;
    aes.encryptBlock(in.constData(), out.data());
    aes.decryptBlock(in.constData(), out.data());
    QCOMPARE(out, untouched);
}

void TestCipher::badLengthDoesNothing_data()
{
    QTest::addColumn<int>("blockLength");
    QTest::addColumn<int>("n");
    QTest::newRow("zero") << 16 << 0;
    QTest::newRow("15") << 16 << 15;
    QTest::newRow("17") << 16 << 17;
    QTest::newRow("40") << 16 << 40;
    QTest::newRow("block24 n16") << 24 << 16;
    QTest::newRow("block32 n48") << 32 << 48;
}

void TestCipher::badLengthDoesNothing()
{
    QFETCH(int, blockLength);
    QFETCH(int, n);
    const char key[16] = {9};
    AES aes;
    QVERIFY(aes.makeKey(key, nullptr, 16, blockLength));
    const QByteArray in(64, 'q');
    const QByteArray untouched(64, char(0xaa));
    for (int mode : {AES::ECB, AES::CBC, AES::CFB}) {
        QByteArray out = untouched;
        aes.encrypt(in.constData(), out.data(), size_t(n), mode);
        QCOMPARE(out, untouched);
        aes.decrypt(in.constData(), out.data(), size_t(n), mode);
        QCOMPARE(out, untouched);
    }
}

void TestCipher::encryptReadsText()
{
    const char key[16] = {4, 5, 6};
    AES aes;
    QVERIFY(aes.makeKey(key, nullptr, 16, 16));

    // "abc" is padded with 13 bytes of 13; a second requested block is zeros.
    QByteArray in(32, '\0');
    std::memcpy(in.data(), "abc", 3);
    QByteArray padded = QByteArray("abc") + QByteArray(13, char(13)) + QByteArray(16, '\0');
    QCOMPARE(runEncrypt(aes, in, AES::ECB), encipherBlocks(aes, padded));

    // A text of exactly a block length gets a full pad block.
    const QByteArray block16("0123456789abcdef");
    QByteArray two(32, '\0');
    std::memcpy(two.data(), block16.constData(), 16);
    QCOMPARE(runEncrypt(aes, two, AES::ECB),
             encipherBlocks(aes, block16 + QByteArray(16, char(16))));

    // Bytes after the terminator do not matter.
    QByteArray noisy = in;
    noisy[10] = 'Z';
    QCOMPARE(runEncrypt(aes, noisy, AES::ECB), runEncrypt(aes, in, AES::ECB));
}

void TestCipher::encryptStopsAtN()
{
    const char key[16] = {7};
    AES aes;
    QVERIFY(aes.makeKey(key, nullptr, 16, 16));
    // Exactly n bytes, no terminator: heap-sized so a sanitizer sees any over-read.
    std::unique_ptr<char[]> in(new char[32]);
    std::memset(in.get(), 'k', 32);
    QByteArray out(32, '\0');
    aes.encrypt(in.get(), out.data(), 32, AES::ECB);
    QCOMPARE(out, encipherBlocks(aes, QByteArray(32, 'k')));
}

void TestCipher::chainCarriesAcrossCalls()
{
    const QByteArray key = hex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
    const QByteArray iv = hex("000102030405060708090a0b0c0d0e0f");
    QRandomGenerator rng(3);
    QByteArray text = randomBytes(rng, 64, 1);
    text[63] = char(200);
    for (int mode : {AES::CBC, AES::CFB}) {
        AES whole;
        QVERIFY(whole.makeKey(key.constData(), iv.constData(), 32, 16));
        const QByteArray all = runEncrypt(whole, text, mode);

        AES parts;
        QVERIFY(parts.makeKey(key.constData(), iv.constData(), 32, 16));
        const QByteArray first = runEncrypt(parts, text.left(32), mode);
        const QByteArray second = runEncrypt(parts, text.mid(32), mode);
        QCOMPARE(first + second, all);

        // Without a reset the chain is where encryption left it.
        QVERIFY(runDecrypt(parts, all, mode) != text);
        parts.resetChain();
        QCOMPARE(runDecrypt(parts, all, mode), text);
    }
}

void TestCipher::nullChainIsZero()
{
    const char key[24] = {1};
    const char zero[32] = {};
    QByteArray text(48, 'm');
    text[47] = char(99);
    for (int mode : {AES::CBC, AES::CFB}) {
        AES a;
        AES b;
        QVERIFY(a.makeKey(key, nullptr, 24, 16));
        QVERIFY(b.makeKey(key, zero, 24, 16));
        QCOMPARE(runEncrypt(a, text, mode), runEncrypt(b, text, mode));
    }
}

void TestCipher::decryptPaddingRule_data()
{
    QTest::addColumn<QByteArray>("plain");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray body(13, 'r');
    QTest::newRow("last byte 0 keeps all") << body + QByteArray("\x05\x05\x00", 3)
                                           << body + QByteArray("\x05\x05\x00", 3);
    QTest::newRow("p=1") << QByteArray(15, 'a') + '\x01' << QByteArray(15, 'a') + QByteArray(1, '\0');
    QTest::newRow("p=3") << body + "\x03\x03\x03" << body + QByteArray(3, '\0');
    QTest::newRow("p=3 mismatch zeroes all") << body + "\x04\x03\x03" << QByteArray(16, '\0');
    QTest::newRow("p=16 whole block") << QByteArray(16, '\x10') << QByteArray(16, '\0');
    QTest::newRow("p=17 over two blocks") << QByteArray(15, 'b') + QByteArray(17, '\x11')
                                          << QByteArray(15, 'b') + QByteArray(17, '\0');
    QTest::newRow("p=22 over two blocks") << QByteArray(10, 'c') + QByteArray(22, '\x16')
                                          << QByteArray(10, 'c') + QByteArray(22, '\0');
    QTest::newRow("p=22 mismatch") << QByteArray(11, 'c') + QByteArray(21, '\x16')
                                   << QByteArray(32, '\0');
    QTest::newRow("p=20 beyond n") << QByteArray(15, 'd') + '\x14' << QByteArray(15, 'd') + '\x14';
    QTest::newRow("p=23 not padding") << QByteArray(10, 'e') + QByteArray(22, '\x17')
                                      << QByteArray(10, 'e') + QByteArray(22, '\x17');
    QTest::newRow("p=200 not padding") << QByteArray(15, 'f') + '\xc8' << QByteArray(15, 'f') + '\xc8';
}

void TestCipher::decryptPaddingRule()
{
    QFETCH(QByteArray, plain);
    QFETCH(QByteArray, expected);
    const char key[16] = {42};
    AES aes;
    QVERIFY(aes.makeKey(key, nullptr, 16, 16));
    const QByteArray cipher = encipherBlocks(aes, plain);
    QCOMPARE(runDecrypt(aes, cipher, AES::ECB).toHex(), expected.toHex());

    // In place gives the same.
    QByteArray buf = cipher;
    aes.decrypt(buf.constData(), buf.data(), size_t(buf.size()), AES::ECB);
    QCOMPARE(buf.toHex(), expected.toHex());
}

void TestCipher::paddingFailureIsLogged_data()
{
    QTest::addColumn<QByteArray>("plain"); // the last block as deciphered, before the padding rule
    QTest::addColumn<bool>("storage");     // through decipherFromStorage, else AES::decrypt
    QTest::addColumn<bool>("fails");
    QTest::newRow("block, pad bytes disagree") << QByteArray(13, 'r') + "\x04\x03\x03" << false << true;
    QTest::newRow("block, sound padding") << QByteArray(13, 'r') + "\x03\x03\x03" << false << false;
    QByteArray claimsSix = QByteArray(40, 's') + QByteArray(8, '\x05');
    claimsSix[47] = '\x06'; // claims 6 pad bytes, only 1 of them says 6
    QTest::newRow("storage, pad bytes disagree") << claimsSix << true << true;
    QTest::newRow("storage, sound padding") << QByteArray(40, 's') + QByteArray(8, '\x08') << true << false;
}

// A padding that does not check out is a diagnostic of the settings, never a line on stdout.
void TestCipher::paddingFailureIsLogged()
{
#ifdef Q_OS_UNIX
    QFETCH(QByteArray, plain);
    QFETCH(bool, storage);
    QFETCH(bool, fails);
    const char key[16] = {42};
    AES aes;
    if (storage)
        QVERIFY(aes.makeKey(settingsKey().constData(), nullptr, 32, 16));
    else
        QVERIFY(aes.makeKey(key, nullptr, 16, 16));
    const QByteArray cipher = encipherBlocks(aes, plain);

    static QStringList logged;
    logged.clear();
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &text) {
        if (type == QtWarningMsg)
            logged.append(QString::fromLatin1(context.category) + QLatin1Char(' ') + text);
    });
    QByteArray got;
    const QByteArray printed = captureStdout([&] {
        if (storage) {
            got = decipherFromStorage(cipher);
        } else {
            got = QByteArray(plain.size(), '\0');
            aes.decrypt(cipher.constData(), got.data(), size_t(got.size()), AES::ECB);
        }
    });
    qInstallMessageHandler(previous);

    QCOMPARE(printed, QByteArray());
    QCOMPARE(logged.size(), fails ? 1 : 0);
    if (fails) {
        QVERIFY2(logged.first().startsWith(QLatin1String("kora.")), qPrintable(logged.first()));
        QVERIFY2(logged.first().contains(QLatin1String("padding")), qPrintable(logged.first()));
        QVERIFY(storage ? got.isEmpty() : got == QByteArray(plain.size(), '\0'));
    }
#else
    SKIP_TEST("stdout capture needs POSIX");
#endif
}

void TestCipher::storagePadding_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("enciphered");
    QTest::newRow("0") << 0 << 16;
    QTest::newRow("1") << 1 << 16;
    QTest::newRow("15") << 15 << 16;
    QTest::newRow("16") << 16 << 32;
    QTest::newRow("17") << 17 << 32;
    QTest::newRow("31") << 31 << 32;
    QTest::newRow("32") << 32 << 48;
}

void TestCipher::storagePadding()
{
    QFETCH(int, length);
    QFETCH(int, enciphered);
    const QByteArray plain(length, 'p');
    const QByteArray cipher = encipherForStorage(plain);
    QCOMPARE(cipher.size(), enciphered);

    AES aes;
    QVERIFY(aes.makeKey(settingsKey().constData(), nullptr, 32, 16));
    const int pad = enciphered - length;
    QCOMPARE(decipherBlocks(aes, cipher), plain + QByteArray(pad, char(pad)));
}

void TestCipher::storageKnownAnswer()
{
    // Values as found in existing settings files; they must keep deciphering.
    QCOMPARE(encipherForStorage("admin").toHex(), QByteArray("b855cdcd52ad0a4408f4756bab853bfa"));
    QCOMPARE(decipherFromStorage(hex("b855cdcd52ad0a4408f4756bab853bfa")), QByteArray("admin"));
    const QByteArray sixteen = hex("a8f399de050339fd3c735b18cdbebd94543aa6dd8e49e8a19f54b05e0125a995");
    QCOMPARE(encipherForStorage("0123456789abcdef"), sixteen);
    QCOMPARE(decipherFromStorage(sixteen), QByteArray("0123456789abcdef"));
}

void TestCipher::storageRoundTrip_data()
{
    QTest::addColumn<QByteArray>("plain");
    QRandomGenerator rng(11);
    for (int len = 0; len <= 40; ++len)
        QTest::addRow("len %d", len) << randomBytes(rng, len, 1);
    QTest::newRow("len 1024") << randomBytes(rng, 1024, 1);
    QTest::newRow("len 1025") << randomBytes(rng, 1025, 1);
    QTest::newRow("len 5000") << randomBytes(rng, 5000, 1);
}

void TestCipher::storageRoundTrip()
{
    QFETCH(QByteArray, plain);
    const QByteArray cipher = encipherForStorage(plain);
    QCOMPARE(cipher.size(), (plain.size() / 16 + 1) * 16);
    QCOMPARE(decipherFromStorage(cipher), plain);
}

void TestCipher::storageBadLength_data()
{
    QTest::addColumn<int>("length");
    for (int len : {0, 1, 15, 17, 31, 33, 1023, 1025})
        QTest::addRow("%d", len) << len;
}

void TestCipher::storageBadLength()
{
    QFETCH(int, length);
    const QByteArray valid = encipherForStorage(QByteArray(2000, 'v'));
    QVERIFY(decipherFromStorage(valid.left(length)).isEmpty());
}

void TestCipher::storagePaddingFailure()
{
    AES aes;
    QVERIFY(aes.makeKey(settingsKey().constData(), nullptr, 32, 16));
    QByteArray bad = QByteArray(40, 's') + QByteArray(8, '\x05');
    bad[47] = '\x06'; // claims 6 pad bytes, only 1 of them says 6
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("padding")));
    QVERIFY(decipherFromStorage(encipherBlocks(aes, bad)).isEmpty());
}

void TestCipher::storageStopsAtZero()
{
    // Enciphering keeps every byte; deciphering hands back the text before the zero.
    const QByteArray plain("pass\0word", 9);
    const QByteArray cipher = encipherForStorage(plain);
    QCOMPARE(cipher.size(), 16);
    AES aes;
    QVERIFY(aes.makeKey(settingsKey().constData(), nullptr, 32, 16));
    QCOMPARE(decipherBlocks(aes, cipher), plain + QByteArray(7, '\x07'));
    QCOMPARE(decipherFromStorage(cipher), QByteArray("pass"));
}

QTEST_GUILESS_MAIN(TestCipher)
#include "tst_cipher.moc"
