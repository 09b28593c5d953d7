// kora-samplegen --twin: the same pages as a Design 2.0 package (DIR/design) and as an older
// controller's package (DIR/legacy), read the way the client reads each form.
#include "archive/zipreader.h"
#include "cipher/storagecipher.h"
#include "design/designbuild.h"
#include "model/devicefile.h"
#include "package/legacyconfig.h"
#include "package/legacyitems.h"
#include "package/legacywidgets.h"
#include "package/packagereaders.h"

#include <QDir>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

using namespace kora;

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs the generator; an empty text when it succeeded, else what it said.
QString generate(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(SAMPLEGEN), args);
    if (!p.waitForFinished(120000))
        return QStringLiteral("kora-samplegen did not finish");
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QString::fromUtf8(p.readAllStandardError()) + QStringLiteral(" (exit %1)").arg(p.exitCode());
    return QString();
}

// What one page builds: items by kind, its name and its walls' decoders. A matrix counts as
// its crosspoints, which Design 2.0 draws as latching buttons in groups (one per output).
struct PageCensus {
    QString name;
    QMap<QString, int> items;
    QStringList decoders;
};

const char kCrosspoint[] = "crosspoint";

QString targetName(design::Target target)
{
    switch (target) {
    case design::Target::Page: return "page";
    case design::Target::Rect: return "rect";
    case design::Target::Screen: return "wall";
    case design::Target::Button: return "button";
    case design::Target::Text: return "text";
    case design::Target::Date: return "clock";
    case design::Target::Preview: return "signal list";
    case design::Target::Slider: return "slider";
    case design::Target::TreeView: return "tree";
    case design::Target::InputBox: return "input box";
    case design::Target::Docker: return "level";
    case design::Target::Monitor: return "monitor";
    case design::Target::Web: return "web";
    case design::Target::Stack: return "stack";
    case design::Target::LoginButton: return "login button";
    case design::Target::LoginInputBox: return "login input box";
    }
    return "?";
}

QString kindName(package::Design2Kind kind)
{
    switch (kind) {
    case package::Design2Kind::Screen: return "wall";
    case package::Design2Kind::Rect: return "rect";
    case package::Design2Kind::Text: return "text";
    case package::Design2Kind::Date: return "clock";
    case package::Design2Kind::Button: return "button";
    case package::Design2Kind::Preview: return "signal list";
    case package::Design2Kind::Slider: return "slider";
    case package::Design2Kind::InputBox: return "input box";
    case package::Design2Kind::Docker: return "level";
    case package::Design2Kind::List: return "page list";
    case package::Design2Kind::Matrix: return kCrosspoint;
    }
    return "?";
}

QList<PageCensus> designCensus(const QByteArray &json)
{
    const design::DesignBuild build = design::buildDesign(json, {});
    QList<PageCensus> pages;
    QStringList ids;
    for (const design::Announcement &a : build.announcements) {
        if (a.target == design::Target::Page) {
            pages.append({a.map.value("objectName").toString(), {}, {}});
            ids.append(a.pageId);
            continue;
        }
        const int page = ids.indexOf(a.pageId);
        if (page < 0)
            continue;
        const bool crosspoint = a.target == design::Target::Button && a.map.value("buttonGroup").toInt() >= 0;
        ++pages[page].items[crosspoint ? QString(kCrosspoint) : targetName(a.target)];
    }
    for (const design::WallRecord &wall : build.walls) {
        const int page = ids.indexOf(wall.pageId);
        if (page >= 0)
            pages[page].decoders += wall.decoderAddresses;
    }
    return pages;
}

QList<PageCensus> legacyCensus(const package::LegacyConfig &config)
{
    QList<PageCensus> pages;
    for (const package::LegacyPage &page : config.pages) {
        PageCensus census{page.name, {}, {}};
        const package::LegacyPageWidgets widgets = package::readLegacyWidgets(page.text);
        for (const package::LegacyWidget &w : widgets.widgets) {
            for (const package::Design2Item &item : package::design2Items(w)) {
                const int count = item.kind == package::Design2Kind::Matrix
                                      ? item.map.value("row").toInt() * item.map.value("col").toInt()
                                      : 1;
                census.items[kindName(item.kind)] += count;
            }
        }
        for (const design::WallRecord &wall : widgets.walls)
            census.decoders += wall.decoderAddresses;
        pages.append(census);
    }
    return pages;
}

package::LegacyConfig legacyConfig(const QString &dir)
{
    return package::parseLegacyConfig(QTextCodec::codecForName("GBK")->toUnicode(readFile(dir + "/legacy/config_host.cfg")));
}

DeviceModel designDevice(const QString &dir)
{
    DeviceModel model;
    QString error;
    parseDeviceFile(readFile(dir + "/design/device.json"), model, &error);
    return model;
}

QString describe(const QMap<QString, int> &items)
{
    QStringList parts;
    for (auto it = items.begin(); it != items.end(); ++it)
        parts.append(QStringLiteral("%1 %2").arg(it.value()).arg(it.key()));
    return parts.join(", ");
}

// Signal ids of a group, in order.
QStringList members(const SignalGroupRecord &group, const std::vector<SignalRecord> &signalList)
{
    QStringList ids;
    for (int index : group.signalIndexes)
        ids.append(signalList.at(size_t(index)).ip);
    return ids;
}

} // namespace

class TestTwinSample : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    QString m_dir; // the default twin, for the tests that need no particular size

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        m_dir = m_tmp.filePath("twin");
        const QString error = generate({"--twin", "--out", m_dir, "--net", "10.77.9"});
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

    // Every page in both forms, in the same order, building the same items; each page has
    // every kind of widget the benchmark needs.
    void samePages_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("pages");
        QTest::newRow("default") << QStringList() << 3;
        QTest::newRow("one page") << QStringList{"--pages", "1"} << 1;
        QTest::newRow("five pages") << QStringList{"--pages", "5"} << 5;
    }
    void samePages()
    {
        QFETCH(QStringList, args);
        QFETCH(int, pages);
        const QString dir = m_tmp.filePath(QTest::currentDataTag());
        const QString error = generate(QStringList{"--twin", "--out", dir} + args);
        QVERIFY2(error.isEmpty(), qPrintable(error));

        const package::LegacyConfig config = legacyConfig(dir);
        QCOMPARE(config.designSize, QSize(1920, 1080));
        const QList<PageCensus> older = legacyCensus(config);
        const QList<PageCensus> newer = designCensus(readFile(dir + "/design/client0_1920_1080.jui"));
        QCOMPARE(older.size(), pages);
        QCOMPARE(newer.size(), pages);
        // Global widgets of the older form would be items the Design 2.0 pages lack.
        QVERIFY(package::readLegacyWidgets(config.uiText).widgets.isEmpty());
        for (int i = 0; i < pages; ++i) {
            const QString where = QStringLiteral("page %1: older %2; Design 2.0 %3")
                                      .arg(i + 1)
                                      .arg(describe(older.at(i).items), describe(newer.at(i).items));
            QCOMPARE(older.at(i).name, newer.at(i).name);
            QVERIFY2(older.at(i).items == newer.at(i).items, qPrintable(where));
            QCOMPARE(older.at(i).decoders, newer.at(i).decoders);
            QCOMPARE(older.at(i).decoders.size(), 4);
            for (const char *kind : {"rect", "wall", "signal list", "text", "clock", "button", "slider", "level", kCrosspoint})
                QVERIFY2(older.at(i).items.value(kind) > 0, qPrintable(QString(kind) + " missing; " + where));
        }
    }

    // Both forms let the lab's accounts in with the same pages, by position.
    void sameAccounts_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QList<int>>("pages"); // indexes in the page order
        QTest::newRow("admin") << "admin" << "Admin#2024" << QList<int>{0, 1, 2};
        QTest::newRow("operator") << "operator" << "op2024" << QList<int>{0, 1};
        QTest::newRow("guest") << "guest" << "Guest-Viewer-16!" << QList<int>{0, 1};
    }
    void sameAccounts()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QList<int>, pages);
        const package::LegacyConfig config = legacyConfig(m_dir);
        const DeviceModel device = designDevice(m_dir);
        const auto older = std::find_if(config.users.begin(), config.users.end(), [&](const UserRecord &u) { return u.name == user; });
        const auto newer = std::find_if(device.users.begin(), device.users.end(), [&](const UserRecord &u) { return u.name == user; });
        QVERIFY(older != config.users.end());
        QVERIFY(newer != device.users.end());
        QVERIFY(config.encrypted);
        QCOMPARE(older->password, QString::fromLatin1(encipherForStorage(password.toLatin1()).toHex().toUpper()));
        QCOMPARE(newer->password, encodeDevicePassword(password));

        QStringList legacyIds, designIds;
        for (const package::LegacyPage &p : config.pages)
            legacyIds.append(p.id);
        for (const design::Announcement &a : design::buildDesign(readFile(m_dir + "/design/client0_1920_1080.jui"), {}).announcements)
            if (a.target == design::Target::Page)
                designIds.append(a.pageId);
        QList<int> olderPages, newerPages;
        for (const QString &id : older->pageIds)
            olderPages.append(legacyIds.indexOf(id));
        for (const QString &id : newer->pageIds)
            newerPages.append(designIds.indexOf(id));
        QCOMPARE(olderPages, pages);
        QCOMPARE(newerPages, pages);
    }

    // The same signals, groups and walls, on the subnet given by --net.
    void sameInstallation()
    {
        const package::LegacyConfig config = legacyConfig(m_dir);
        const DeviceModel device = designDevice(m_dir);
        QCOMPARE(config.signalList.size(), device.signalList.size());
        QCOMPARE(device.signalList.size(), size_t(15));
        for (size_t i = 0; i < device.signalList.size(); ++i) {
            QCOMPARE(config.signalList[i].ip, device.signalList[i].ip);
            QVERIFY(device.signalList[i].ip.startsWith("10.77.9."));
            QCOMPARE(config.signalList[i].mainUrl, device.signalList[i].mainUrl);
            QCOMPARE(config.signalList[i].subUrl, device.signalList[i].subUrl);
        }
        QMap<QString, QStringList> olderGroups, newerGroups;
        for (const SignalGroupRecord &g : config.groups)
            olderGroups.insert(g.name, members(g, config.signalList));
        for (const SignalGroupRecord &g : device.groups)
            if (g.name != QStringLiteral("收藏")) // the starred signals: Design 2.0 only
                newerGroups.insert(g.name, members(g, device.signalList));
        QCOMPARE(olderGroups, newerGroups);
        QStringList olderMosaics, newerMosaics;
        for (const MultiSignalRecord &m : config.multiSignals)
            olderMosaics.append(m.name);
        for (const MultiSignalRecord &m : device.multiSignals)
            newerMosaics.append(m.name);
        QCOMPARE(olderMosaics, newerMosaics);

        QMap<QString, QString> olderOutputs, newerOutputs;
        for (const OutputRecord &o : config.outputs)
            olderOutputs.insert(o.address, o.wallId);
        for (const OutputRecord &o : device.outputs)
            if (o.wallId != "-1")
                newerOutputs.insert(o.address, o.wallId);
        QCOMPARE(olderOutputs, newerOutputs);
        QCOMPARE(olderOutputs.size(), 8);
    }

    // pic.dat and image.zip hold the same pictures under the same names, and they are small.
    void samePictures()
    {
        const package::LegacyConfig config = legacyConfig(m_dir);
        const QList<QByteArray> pictures = package::cutPictureContainer(readFile(m_dir + "/legacy/pic.dat"));
        QCOMPARE(pictures.size(), config.pictureNames.size());
        QVERIFY(!pictures.isEmpty());
        const QString unpacked = m_tmp.filePath("pictures");
        const archive::UnpackResult result = archive::unpackArchive(m_dir + "/design/image.zip", unpacked);
        QVERIFY2(result.ok, qPrintable(result.reason));
        QCOMPARE(result.files, pictures.size());
        qint64 total = 0;
        for (int i = 0; i < pictures.size(); ++i) {
            QCOMPARE(readFile(unpacked + "/" + config.pictureNames.at(i)), pictures.at(i));
            total += pictures.at(i).size();
        }
        QVERIFY2(total < 200 * 1024, qPrintable(QString::number(total)));
    }

    void outputIsDeterministic()
    {
        const QString again = m_tmp.filePath("again");
        const QString error = generate({"--twin", "--out", again, "--net", "10.77.9"});
        QVERIFY2(error.isEmpty(), qPrintable(error));
        for (const QString &form : {QStringLiteral("design"), QStringLiteral("legacy")}) {
            const QStringList files = QDir(m_dir + "/" + form).entryList(QDir::Files, QDir::Name);
            QCOMPARE(QDir(again + "/" + form).entryList(QDir::Files, QDir::Name), files);
            for (const QString &f : files)
                QVERIFY2(readFile(again + "/" + form + "/" + f) == readFile(m_dir + "/" + form + "/" + f), qPrintable(f));
        }
    }
};

QTEST_GUILESS_MAIN(TestTwinSample)
#include "tst_twin_sample.moc"
