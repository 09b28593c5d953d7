// The block cipher against published answers (FIPS 197), what it refuses, the padding rule
// of its decryption, and the storage form of passwords: the ECB and 16-byte blocks that
// storage uses.
#include "cipher/aes.h"
#include "cipher/storagecipher.h"

#include <QRandomGenerator>
#include <QtTest>
#include "support/table.h"

using namespace kora;

namespace {

QByteArray hex(const char *h) { return QByteArray::fromHex(h); }

QByteArray settingsKey() { return QByteArray(kSettingsKey, 32); }

// Block-wise ECB through encryptBlock/decryptBlock only, free of any text/padding rule.
QByteArray blocks(AES &aes, const QByteArray &in, bool encipher)
{
    QByteArray out(in.size(), '\0');
    for (int off = 0; off < in.size(); off += aes.blockLength()) {
        if (encipher)
            aes.encryptBlock(in.constData() + off, out.data() + off);
        else
            aes.decryptBlock(in.constData() + off, out.data() + off);
    }
    return out;
}

// Text for encrypt (no zero byte) whose last byte is above the padding range (decrypt strips nothing).
QByteArray text(QRandomGenerator &rng, int n)
{
    QByteArray b(n, '\0');
    for (char &c : b)
        c = char(23 + rng.bounded(233));
    return b;
}

} // namespace

class TestCipher : public QObject
{
    Q_OBJECT
private slots:
    void knownAnswers_data()
    {
        columns<QByteArray, QByteArray, QByteArray>({"key", "plain", "cipher"});
        // FIPS 197 Appendix C.
        const QByteArray k16 = hex("000102030405060708090a0b0c0d0e0f");
        const QByteArray k24 = hex("000102030405060708090a0b0c0d0e0f1011121314151617");
        const QByteArray k32 = hex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
        const QByteArray p16 = hex("00112233445566778899aabbccddeeff");
        QTest::newRow("C.1 AES-128") << k16 << p16 << hex("69c4e0d86a7b0430d8cdb78070b4c55a");
        QTest::newRow("C.2 AES-192") << k24 << p16 << hex("dda97ca4864cdfe06eaf70a0ec0d7191");
        QTest::newRow("C.3 AES-256") << k32 << p16 << hex("8ea2b7ca516745bfeafc49904b496089");
    }
    void knownAnswers()
    {
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, plain);
        QFETCH(QByteArray, cipher);
        AES aes;
        QVERIFY(aes.makeKey(key.constData(), nullptr, key.size(), plain.size()));
        QCOMPARE(blocks(aes, plain, true), cipher);
        QCOMPARE(blocks(aes, cipher, false), plain);
    }

    void unusable_data()
    {
        columns<bool, int, int, int, bool>({"nullKey", "keyLength", "blockLength", "n", "keyMade"});
        QTest::newRow("null key") << true << 16 << 16 << 16 << false;
        for (int kl : {20, 64})
            QTest::addRow("key %d", kl) << false << kl << 16 << 16 << false;
        for (int bl : {8, 17})
            QTest::addRow("block %d", bl) << false << 32 << bl << 16 << false;
        // A key is made, but n is no positive multiple of the block length.
        for (int n : {0, 17})
            QTest::addRow("n %d", n) << false << 16 << 16 << n << true;
    }
    void unusable()
    {
        QFETCH(bool, nullKey);
        QFETCH(int, keyLength);
        QFETCH(int, blockLength);
        QFETCH(int, n);
        QFETCH(bool, keyMade);
        const char key[64] = {1, 2, 3};
        AES aes;
        QCOMPARE(aes.makeKey(nullKey ? nullptr : key, nullptr, keyLength, blockLength), keyMade);
        QCOMPARE(aes.isInitialized(), keyMade);
        const QByteArray in(64, 'x'), untouched(64, char(0xaa));
        for (int mode : {AES::ECB, AES::CBC, AES::CFB}) {
            QByteArray out = untouched;
            aes.encrypt(in.constData(), out.data(), size_t(n), mode);
            aes.decrypt(in.constData(), out.data(), size_t(n), mode);
            QCOMPARE(out, untouched);
        }
        if (!keyMade) {
            QByteArray out = untouched;
            aes.encryptBlock(in.constData(), out.data());
            aes.decryptBlock(in.constData(), out.data());
            QCOMPARE(out, untouched);
        }
    }

    // encrypt's padding and three modes against the block cipher applied by hand.
    void encryptModes()
    {
        AES aes;
        const QByteArray chain(16, '\0');
        QVERIFY(aes.makeKey(settingsKey().constData(), chain.constData(), 32, 16));
        const QByteArray text("twenty bytes of text"); // padded by encrypt with 12 x 12
        const QByteArray plain = text + QByteArray(12, '\x0c');
        const auto xored = [](QByteArray a, const QByteArray &b) {
            for (int i = 0; i < a.size(); ++i)
                a[i] = char(a[i] ^ b[i]);
            return a;
        };
        const QByteArray p0 = plain.left(16), p1 = plain.mid(16);
        const QByteArray cbc0 = blocks(aes, p0, true), cfb0 = xored(p0, blocks(aes, chain, true));
        const QList<QPair<int, QByteArray>> expected{
            {AES::ECB, blocks(aes, plain, true)},
            {AES::CBC, cbc0 + blocks(aes, xored(p1, cbc0), true)},
            {AES::CFB, cfb0 + xored(p1, blocks(aes, cfb0, true))}};
        for (const auto &[mode, cipher] : expected) {
            QByteArray out(32, '\0');
            aes.resetChain();
            aes.encrypt(text.constData(), out.data(), 32, mode);
            QCOMPARE(out.toHex(), cipher.toHex());
        }
    }

    void decryptPaddingRule_data()
    {
        columns<QByteArray, QByteArray>({"plain", "expected"});
        const QByteArray body(13, 'r');
        QTest::newRow("p=3") << body + "\x03\x03\x03" << body + QByteArray(3, '\0');
        QTest::newRow("p=3 mismatch zeroes all") << body + "\x04\x03\x03" << QByteArray(16, '\0');
        QTest::newRow("p=22 over two blocks") << QByteArray(10, 'c') + QByteArray(22, '\x16') << QByteArray(10, 'c') + QByteArray(22, '\0');
        QTest::newRow("p=23 not padding") << QByteArray(10, 'e') + QByteArray(22, '\x17') << QByteArray(10, 'e') + QByteArray(22, '\x17');
    }
    void decryptPaddingRule()
    {
        QFETCH(QByteArray, plain);
        QFETCH(QByteArray, expected);
        const char key[16] = {42};
        AES aes;
        QVERIFY(aes.makeKey(key, nullptr, 16, 16));
        if (expected.count('\0') == expected.size())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("padding"));
        QByteArray buf = blocks(aes, plain, true);
        aes.decrypt(buf.constData(), buf.data(), size_t(buf.size()), AES::ECB); // in place
        QCOMPARE(buf.toHex(), expected.toHex());
    }

    void storageForm_data()
    {
        QTest::addColumn<QByteArray>("plain");
        QRandomGenerator rng(11);
        for (int len : {0, 15, 16, 1025})
            QTest::addRow("length %d", len) << text(rng, len);
    }
    void storageForm()
    {
        QFETCH(QByteArray, plain);
        const QByteArray cipher = encipherForStorage(plain);
        QCOMPARE(cipher.size(), (plain.size() / 16 + 1) * 16);
        AES aes;
        QVERIFY(aes.makeKey(settingsKey().constData(), nullptr, 32, 16));
        const int pad = cipher.size() - plain.size();
        QCOMPARE(blocks(aes, cipher, false), plain + QByteArray(pad, char(pad)));
        QCOMPARE(decipherFromStorage(cipher), plain);
        // Cut to no multiple of the block: nothing.
        QVERIFY(decipherFromStorage(cipher.left(cipher.size() - 1)).isEmpty());
    }

    void storageKnownAnswer()
    {
        // Values as found in existing settings files; they must keep deciphering.
        QCOMPARE(encipherForStorage("admin").toHex(), QByteArray("b855cdcd52ad0a4408f4756bab853bfa"));
        QCOMPARE(decipherFromStorage(hex("b855cdcd52ad0a4408f4756bab853bfa")), QByteArray("admin"));
    }

    void storageOddInput()
    {
        AES aes;
        QVERIFY(aes.makeKey(settingsKey().constData(), nullptr, 32, 16));
        QByteArray bad = QByteArray(40, 's') + QByteArray(8, '\x05');
        bad[47] = '\x06'; // claims 6 pad bytes, only 1 of them says 6
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("padding"));
        QVERIFY(decipherFromStorage(blocks(aes, bad, true)).isEmpty());
        // Enciphering keeps every byte; deciphering hands back the text before the zero.
        const QByteArray cipher = encipherForStorage(QByteArray("pass\0word", 9));
        QCOMPARE(blocks(aes, cipher, false), QByteArray("pass\0word", 9) + QByteArray(7, '\x07'));
        QCOMPARE(decipherFromStorage(cipher), QByteArray("pass"));
    }
};

QTEST_GUILESS_MAIN(TestCipher)
#include "tst_cipher.moc"
