// The generated older package (BUILD/samples/legacy): what kora-lab --legacy serves.
#include "cipher/storagecipher.h"
#include "package/legacyconfig.h"
#include "package/legacywidgets.h"
#include "package/packagereaders.h"

#include <QCryptographicHash>
#include <QImage>
#include <QSet>
#include <QTextCodec>
#include <QtTest>

using namespace kora;
using namespace kora::package;

namespace {
QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString dir()
{
    return QStringLiteral(SAMPLES_DIR "/legacy");
}

LegacyConfig config()
{
    return parseLegacyConfig(QTextCodec::codecForName("GBK")->toUnicode(readFile(dir() + "/config_host.cfg")));
}
} // namespace

class TestLegacySample : public QObject
{
    Q_OBJECT
private slots:
    void manifestListsPicturesFirst()
    {
        QStringList expected;
        for (const char *name : {"pic.dat", "config_host.cfg"}) {
            const QByteArray md5 = QCryptographicHash::hash(readFile(dir() + "/" + name), QCryptographicHash::Md5).toHex();
            expected.append(QString::fromLatin1(name) + ' ' + QString::fromLatin1(md5));
        }
        QCOMPARE(QString::fromUtf8(readFile(dir() + "/files.txt")).split('\n', Qt::SkipEmptyParts), expected);
    }

    void crLfAndGbk()
    {
        const QByteArray bytes = readFile(dir() + "/config_host.cfg");
        QVERIFY(bytes.size() > 1000);
        QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
        QVERIFY(config().translations.value("User or Password Error") == QStringLiteral("账号或密码错误"));
    }

    void picturesAreImagesInPicFilesOrder()
    {
        const QList<QByteArray> pictures = cutPictureContainer(readFile(dir() + "/pic.dat"));
        const LegacyConfig c = config();
        QCOMPARE(pictures.size(), c.pictureNames.size());
        QCOMPARE(c.pictureNames.first(), QStringLiteral("legacy_bg.png"));
        for (const QByteArray &p : pictures)
            QVERIFY(!QImage::fromData(p).isNull());
    }

    void passwords_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QStringList>("pages");
        QTest::newRow("admin") << "admin" << "Admin#2024" << QStringList{"1", "2", "3"};
        QTest::newRow("operator") << "operator" << "op2024" << QStringList{"1", "2"};
    }
    void passwords()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QStringList, pages);
        const LegacyConfig c = config();
        QVERIFY(c.encrypted);
        const auto u = std::find_if(c.users.begin(), c.users.end(), [&](const UserRecord &r) { return r.name == user; });
        QVERIFY(u != c.users.end());
        QCOMPARE(u->password, QString::fromLatin1(encipherForStorage(password.toLatin1()).toHex().toUpper()));
        QCOMPARE(u->pageIds, pages);
    }

    // Every widget kind of the older pages appears, and every wall's decoders are lab outputs.
    void everyWidgetKind()
    {
        const LegacyConfig c = config();
        QCOMPARE(c.designSize, QSize(1920, 1080));
        QSet<QString> kinds;
        QList<design::WallRecord> walls;
        QStringList texts{c.uiText};
        for (const LegacyPage &p : c.pages)
            texts.append(p.text);
        for (const QString &text : texts) {
            const LegacyPageWidgets page = readLegacyWidgets(text);
            for (const LegacyWidget &w : page.widgets)
                kinds.insert(QString::number(int(w.kind)) + (w.map.value("time").toInt() == 1 ? "clock" : ""));
            walls += page.walls;
        }
        QSet<QString> expected;
        for (int k = int(LegacyKind::Rect); k <= int(LegacyKind::List); ++k)
            expected.insert(QString::number(k));
        expected.insert(QString::number(int(LegacyKind::Text)) + "clock");
        QCOMPARE(kinds, expected);

        QSet<QString> outputs;
        for (const OutputRecord &o : c.outputs)
            outputs.insert(o.address);
        QCOMPARE(walls.size(), 2);
        for (const design::WallRecord &wall : walls) {
            QCOMPARE(wall.decoderAddresses.size(), 4);
            for (const QString &decoder : wall.decoderAddresses)
                QVERIFY2(outputs.contains(decoder), qPrintable(decoder));
        }
        QCOMPARE(walls.first().docks.size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestLegacySample)
#include "tst_legacy_sample.moc"
