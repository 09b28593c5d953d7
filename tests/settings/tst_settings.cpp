#include "cipher/aes.h"
#include "cipher/storagecipher.h"
#include "settings/controlsettings.h"
#include "settings/signalstars.h"
#include "settings/translations.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

#include "support/testfiles.h"

using namespace kora;

namespace {
QByteArray gbk(const QString &text) { return QTextCodec::codecForName("GBK")->fromUnicode(text); }
} // namespace

class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_dir.reset(new QTemporaryDir);
        QVERIFY(m_dir->isValid());
    }

    void firstStartDefaults()
    {
        ControlSettings s;
        s.localIp = QStringLiteral("10.1.2.3"); // found at start-up, must survive
        s.username = QStringLiteral("stale");
        loadControlSettings(path("control.ini"), s);
        QCOMPARE(s.localIp, QStringLiteral("10.1.2.3"));
        QVERIFY(s.multicast);
        QCOMPARE(s.minSnap, QSize(256, 144));
        QCOMPARE(s.maxSnap, QSize(640, 360));
        QVERIFY(s.username.isEmpty());
        QVERIFY(!s.flgRemb);
        QVERIFY(!s.enableLog);
        QVERIFY(!QFile::exists(path("control.ini"))); // loading never creates the file
    }

    void saveWritesTheExactIniText()
    {
        ControlSettings s;
        s.picMd5 = QStringLiteral("d41d8cd98f00b204e9800998ecf8427e");
        s.localIp = QStringLiteral("10.77.1.1");
        s.serverIp = QString();
        s.downIp = QStringLiteral("10.77.1.2");
        s.username = QStringLiteral("admin");
        s.password = QStringLiteral("secret");
        s.flgRemb = true;
        s.multicast = true;
        s.mode = 2;
        s.minSnap = QSize(256, 144);
        s.maxSnap = QSize(640, 360);
        s.loginfail = 3;
        s.logintime = 1700000000;
        s.windowFlag = 1;
        s.enableLog = true;
        writeFile(path("control.ini"), "[Other]\nstale=1\n");
        QVERIFY(saveControlSettings(path("control.ini"), s));
        const QByteArray expected =
            "[Local]\n"
            "downIp=10.77.1.2\n"
            "enableLog=true\n"
            "flgRemb=true\n"
            "localIp=10.77.1.1\n"
            "loginfail=3\n"
            "logintime=1700000000\n"
            "maxSnap=@Size(640 360)\n"
            "minSnap=@Size(256 144)\n"
            "mode=2\n"
            "multicast=true\n"
            "password=@ByteArray(" + encipherPassword(QStringLiteral("secret")) + ")\n"
            "picMd5=d41d8cd98f00b204e9800998ecf8427e\n"
            "serverIp=\n"
            "username=admin\n"
            "windowFlag=1\n";
        QCOMPARE(readFile(path("control.ini")), expected);

        ControlSettings back;
        loadControlSettings(path("control.ini"), back);
        QCOMPARE(back.localIp, s.localIp);
        QCOMPARE(back.downIp, s.downIp);
        QCOMPARE(back.username, s.username);
        QCOMPARE(back.password, s.password);
        QCOMPARE(back.flgRemb, true);
        QCOMPARE(back.mode, 2);
        QCOMPARE(back.loginfail, 3);
        QCOMPARE(back.logintime, qint64(1700000000));
        QCOMPARE(back.windowFlag, 1);
        QCOMPARE(back.enableLog, true);
        QCOMPARE(back.maxSnap, QSize(640, 360));
    }

    void missingKeysReadAsEmptyValues()
    {
        writeFile(path("control.ini"), "[Local]\nlocalIp=10.0.0.9\nusername=op\n");
        ControlSettings s;
        s.windowFlag = 7;
        loadControlSettings(path("control.ini"), s);
        QCOMPARE(s.localIp, QStringLiteral("10.0.0.9"));
        QCOMPARE(s.username, QStringLiteral("op"));
        QVERIFY(s.password.isEmpty());
        QVERIFY(!s.multicast); // differs from the first-start default on purpose
        QVERIFY(!s.minSnap.isValid());
        QVERIFY(!s.maxSnap.isValid());
        QCOMPARE(s.mode, 0);
        QCOMPARE(s.windowFlag, 0);
        QVERIFY(s.serverIp.isEmpty());
    }

    void passwordEncipherment_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("hexLength");
        QTest::newRow("empty") << QString() << 32;
        QTest::newRow("15 chars") << QString(15, 'x') << 32;
        QTest::newRow("16 chars: a whole block of padding") << QString(16, 'y') << 64;
        QTest::newRow("latin-1 letters") << QStringLiteral("pässwörd") << 32;
        QTest::newRow("1023 chars") << QString(1023, 'z') << 2048;
        QTest::newRow("longer than the old buffer") << QString(3000, 'q') << 6016;
    }
    void passwordEncipherment()
    {
        QFETCH(QString, password);
        QFETCH(int, hexLength);
        const QByteArray hex = encipherPassword(password);
        QCOMPARE(hex.size(), hexLength);
        QCOMPARE(hex, hex.toLower());
        QCOMPARE(decipherPassword(hex), password);
    }

    void tamperedPasswordReadsEmpty()
    {
        // A block whose last byte announces 3 pad bytes that are not all 3.
        AES aes;
        QVERIFY(aes.makeKey(kSettingsKey, nullptr, 32, 16));
        const char plain[16] = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 2, 3};
        char cipher[16];
        aes.encryptBlock(plain, cipher);
        QCOMPARE(decipherPassword(QByteArray(cipher, 16).toHex()), QString());
        QCOMPARE(decipherPassword("not hex at all"), QString());
        QCOMPARE(decipherPassword(QByteArray()), QString());
    }

    void namedBlocks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("blocks");
        QTest::newRow("at start") << "Language{a=b}" << QStringList{"a=b"};
        QTest::newRow("after line feed") << "X{1}\nLanguage{\r\na=b\r\n}" << QStringList{"\r\na=b\r\n"};
        QTest::newRow("nested braces kept") << "Language{a{b}c}" << QStringList{"a{b}c"};
        QTest::newRow("two blocks") << "Language{1}\nLanguage{2}" << QStringList{"1", "2"};
        QTest::newRow("blank before name") << " Language{a=b}" << QStringList{};
        QTest::newRow("other char before name") << "xLanguage{a=b}" << QStringList{};
        QTest::newRow("CR before name is not a line feed") << "a\rLanguage{1}" << QStringList{};
        QTest::newRow("name inside another block") << "Other{\nLanguage{1}\n}" << QStringList{};
        QTest::newRow("unclosed") << "Language{a=b" << QStringList{};
        QTest::newRow("other block then ours") << "Other{x}\nLanguage{y}" << QStringList{"y"};
        QTest::newRow("other block after ours") << "Language{y}\nOther{x}" << QStringList{"y"};
        QTest::newRow("stray closing brace") << "}\nLanguage{y}" << QStringList{"y"};
        QTest::newRow("empty content") << "Language{}" << QStringList{""};
        QTest::newRow("empty text") << "" << QStringList{};
    }
    void namedBlocks()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, blocks);
        QCOMPARE(extractNamedBlocks(text, QStringLiteral("Language")), blocks);
    }

    void translationLines()
    {
        const TranslationTable table = parseTranslationTable(
            QStringLiteral("Login=登录\r\n\r\nUser=用户\r\nformula=a=b\r\nnovalue\r\nLogin=进入\r\nEmpty=\r\nbare=lf\n"));
        QCOMPARE(table.value("Login"), QStringLiteral("进入"));
        QCOMPARE(table.value("User"), QStringLiteral("用户"));
        QCOMPARE(table.value("formula"), QStringLiteral("a=b"));
        QVERIFY(table.contains("novalue"));
        QCOMPARE(table.value("bare"), QStringLiteral("lf"));
        QVERIFY(!table.contains(QString()));
        QCOMPARE(translate(table, "Login"), QStringLiteral("进入"));
        QCOMPARE(translate(table, "Empty"), QStringLiteral("Empty"));
        QCOMPARE(translate(table, "novalue"), QStringLiteral("novalue"));
        QCOMPARE(translate(table, "Unknown"), QStringLiteral("Unknown"));
    }

    void translationSources()
    {
        TranslationTable table;
        // language.txt only
        writeFile(path("language.txt"), gbk(QStringLiteral("Login=登录\r\n")));
        loadTranslationTable(m_dir->path(), table);
        QCOMPARE(table.value("Login"), QStringLiteral("登录"));

        // config_host.cfg wins when it can be opened, GBK decoded
        writeFile(path("config_host.cfg"), gbk(QStringLiteral("Version{1}\nLanguage{\r\nLogin=进入\r\n}\n")));
        loadTranslationTable(m_dir->path(), table);
        QCOMPARE(table.value("Login"), QStringLiteral("进入"));

        // an unrecognised block leaves the table as it was; language.txt is not tried
        writeFile(path("config_host.cfg"), gbk(QStringLiteral(" Language{\r\nLogin=X\r\n}\n")));
        TranslationTable untouched;
        loadTranslationTable(m_dir->path(), untouched);
        QVERIFY(untouched.isEmpty());
    }

    void starredSignals()
    {
        const QString file = path("signal.ini");
        QVERIFY(loadStarredAddresses(file).isEmpty());
        QVERIFY(saveStarredAddresses(file, {"10.0.0.1", "10.0.0.7"}));
        QCOMPARE(readFile(file), QByteArray("[Star]\n1\\ip=10.0.0.1\n2\\ip=10.0.0.7\nsize=2\n"));
        QCOMPARE(loadStarredAddresses(file), (QStringList{"10.0.0.1", "10.0.0.7"}));
        QVERIFY(saveStarredAddresses(file, {}));
        QVERIFY(loadStarredAddresses(file).isEmpty());
    }

private:
    QString path(const QString &name) const { return m_dir->path() + "/" + name; }
    QScopedPointer<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
