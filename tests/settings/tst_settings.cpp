#include "settings/controlsettings.h"
#include "settings/translations.h"

#include "support/testmain.h"

using namespace kora;

class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    // The hex form in the settings file: whole blocks, lower case, read back; anything else
    // reads as no password.
    void passwords()
    {
        for (const QString &password : {QString(), QString(16, 'y'), QString(3000, 'q')}) {
            const QByteArray hex = encipherPassword(password);
            QCOMPARE(hex.size(), (password.size() / 16 + 1) * 32);
            QCOMPARE(hex, hex.toLower());
            QCOMPARE(decipherPassword(hex), password);
        }
        QCOMPARE(decipherPassword("not hex at all"), QString());
        QCOMPARE(decipherPassword(encipherPassword("secret").left(30)), QString());
    }

    void translationLines()
    {
        const TranslationTable table = parseTranslationTable(
            QStringLiteral("Login=登录\r\n\r\nUser=用户\r\nformula=a=b\r\nnovalue\r\nLogin=进入\r\nEmpty=\r\nbare=lf\n"));
        QCOMPARE(table.value("Login"), QStringLiteral("进入"));
        QCOMPARE(table.value("formula"), QStringLiteral("a=b"));
        QVERIFY(table.contains("novalue"));
        QCOMPARE(table.value("bare"), QStringLiteral("lf"));
        QVERIFY(!table.contains(QString()));
        QCOMPARE(translate(table, "Login"), QStringLiteral("进入"));
        QCOMPARE(translate(table, "Empty"), QStringLiteral("Empty"));
        QCOMPARE(translate(table, "Unknown"), QStringLiteral("Unknown"));
    }
};

KORA_TEST(TestSettings)
KORA_TEST_MAIN(QCoreApplication)
#include "tst_settings.moc"
