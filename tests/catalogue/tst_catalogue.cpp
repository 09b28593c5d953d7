// Catalogue queries over the lab's sample project: its device file is read by the device
// model, then groups, multi-signals, search and the favourites tree are asked of it.
#include "catalogue/catalogue.h"
#include "design/designbuild.h"
#include "model/devicefile.h"

#include <QFile>
#include <QJsonObject>
#include <QtTest>

using namespace kora;

namespace {
const QString kNet = QStringLiteral("10.9.0");
} // namespace

class TestCatalogue : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QFile file(QStringLiteral(SAMPLES_SOURCE "/lab/device.json"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QString error;
        QVERIFY2(parseDeviceFile(file.readAll().replace("{{NET}}", kNet.toLatin1()), m_model, &error), qPrintable(error));
        QVERIFY(m_model.hasFavourites);
    }

    void groupsAndSignals()
    {
        const catalogue::Lists l = lists();
        QCOMPARE(catalogue::groupName(l, 1), QStringLiteral("Studio"));
        QCOMPARE(catalogue::groupSignalNames(l, 1),
                 (QStringList{"Studio camera 1", "Studio camera 2", "Studio graphics", "Studio playout"}));
        QCOMPARE(catalogue::groupSignalIps(l, 1).size(), 4);
        QCOMPARE(catalogue::groupSignalUrls(l, 1).size(), 4);
        const QList<int> studio = catalogue::signalPositions(l, 1);
        QCOMPARE(catalogue::signalMessage(l, studio.at(1)).value("name").toString(), QStringLiteral("Studio camera 2"));
        const QString ip = catalogue::signalMessage(l, studio.at(1)).value("ip").toString();
        QCOMPARE(catalogue::signalNameOf(l, ip), QStringLiteral("Studio camera 2"));
        QCOMPARE(catalogue::subUrlOf(l, ip), catalogue::signalMessage(l, studio.at(1)).value("url2").toString());

        // The mosaic group holds multi-signals only; their cells keep the empty ones.
        const int mosaics = groupIndex("Mosaics");
        QCOMPARE(catalogue::signalPositions(l, mosaics), QList<int>());
        QCOMPARE(catalogue::multiSignalPositions(l, mosaics), (QList<int>{0, 1}));
        const QVariantMap lobby = catalogue::multiSignalMessage(l, 1);
        QCOMPARE(lobby.value("name").toString(), QStringLiteral("Lobby split"));
        QCOMPARE(lobby.value("col").toInt(), 2);
        QCOMPARE(lobby.value("ip").toStringList().size(), 4);
        QCOMPARE(lobby.value("ip").toStringList().at(1), QString());
        QCOMPARE(catalogue::positionsByName(l, "Mosaics"),
                 (QVariantList{QVariantMap{{"type", 1}, {"index", 0}}, QVariantMap{{"type", 1}, {"index", 1}}}));

        // Positions outside the lists give nothing.
        for (int bad : {-1, int(m_model.groups.size()), 1 << 30}) {
            QCOMPARE(catalogue::groupName(l, bad), QString());
            QCOMPARE(catalogue::signalPositions(l, bad), QList<int>());
            QCOMPARE(catalogue::groupSignalNames(l, bad), QStringList());
        }
        for (int bad : {-1, int(m_model.signalList.size())})
            QCOMPARE(catalogue::signalMessage(l, bad), QVariantMap());
        QCOMPARE(catalogue::multiSignalMessage(l, int(m_model.multiSignals.size())), QVariantMap());
        QCOMPARE(catalogue::signalNameOf(l, "10.9.9.9"), QString());
        QCOMPARE(catalogue::positionsByName(l, "No such group"), QVariantList());
    }

    void search_data()
    {
        QTest::addColumn<QStringList>("groups");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("substring") << QStringList{"1", "3"} << "camera"
                                   << QStringList{"Studio camera 1", "Studio camera 2", "Gate camera", "Car park camera",
                                                  "Lobby camera", "Roof camera", "Dock camera-IPC"};
        QTest::newRow("case-sensitive") << QStringList{"1"} << "CAMERA" << QStringList{};
        QTest::newRow("CJK text") << QStringList{"4"} << "笔记" << QStringList{"会议室 笔记本"};
        QTest::newRow("CJK group, empty text: all once") << QStringList{"4", "4"} << ""
                                                         << QStringList{"会议室 PC", "会议室 笔记本"};
        QTest::newRow("not a group position") << QStringList{"x", "-1", "99"} << "" << QStringList{};
    }
    void search()
    {
        QFETCH(QStringList, groups);
        QFETCH(QString, text);
        QFETCH(QStringList, names);
        QCOMPARE(namesOf(catalogue::searchSignal(lists(), groups, text)), names);
    }

    void searchByGroupNameListsASignalOnce()
    {
        // Two groups of one name share a signal: it is found once.
        SignalGroupRecord twin = m_model.groups.at(1);
        twin.signalIndexes = {twin.signalIndexes.at(0), 10};
        std::vector<SignalGroupRecord> groups = m_model.groups;
        groups.push_back(twin);
        const catalogue::Lists l{m_model.signalList, groups, m_model.multiSignals};
        QCOMPARE(namesOf(catalogue::searchSignalOfGroup(l, "Studio", "")),
                 (QStringList{"Studio camera 1", "Studio camera 2", "Studio graphics", "Studio playout", "Lobby camera"}));
        QCOMPARE(namesOf(catalogue::searchSignalOfGroup(l, "会议室", "PC")), QStringList{"会议室 PC"});
    }

    void favourites()
    {
        std::vector<SignalRecord> signalList = m_model.signalList;
        const catalogue::Lists l{signalList, m_model.groups, m_model.multiSignals};
        QCOMPARE(catalogue::positionsByName(l, catalogue::kFavourites), QVariantList());
        signalList[12].star = true;
        signalList[2].star = true;
        // Plain positions, in list order, never entry maps.
        QCOMPARE(catalogue::positionsByName(l, catalogue::kFavourites), (QVariantList{2, 12}));
        QCOMPARE(catalogue::starredAddresses(signalList), (QStringList{signalList[2].ip, signalList[12].ip}));
        const QJsonArray nodes = catalogue::favouriteNodes(l);
        QCOMPARE(nodes.size(), 2);
        QCOMPARE(nodes.at(1).toObject(),
                 (QJsonObject{{"text", "会议室 PC"}, {"isoption", false}, {"index", 12}, {"type", 0}}));

        // The tree view's groups are filled: favourites, signals, multi-signals; unknown stays.
        const QJsonArray tree{QJsonObject{{"text", catalogue::kFavourites}}, QJsonObject{{"text", "Mosaics"}},
                              QJsonObject{{"text", "会议室"}}, QJsonObject{{"text", "Unknown"}, {"keep", 1}}};
        const QJsonArray filled = catalogue::refreshTreeModel(l, tree);
        QCOMPARE(filled.at(0).toObject().value("subnodes").toArray(), nodes);
        QCOMPARE(filled.at(1).toObject().value("subnodes").toArray().at(1).toObject(),
                 (QJsonObject{{"text", "Lobby split"}, {"isoption", false}, {"index", 1}, {"type", 1}}));
        QCOMPARE(filled.at(2).toObject().value("subnodes").toArray().size(), 2);
        QCOMPARE(filled.at(3), tree.at(3));
    }

    void roleHidesPagesAndGroups()
    {
        const UserRecord *op = nullptr;
        for (const UserRecord &u : m_model.users) {
            if (u.name == QLatin1String("operator"))
                op = &u;
        }
        QVERIFY(op);
        QCOMPARE(op->pageIds, (QStringList{"page-wall-a", "page-room"}));
        QVERIFY(design::checkSignalPermission(op, "Studio"));
        QVERIFY(!design::checkSignalPermission(op, "Cameras"));
        QVERIFY(!design::checkSignalPermission(op, "会议室"));
        QVERIFY(!design::checkSignalPermission(op, "studio")); // exact, case-sensitive
        QVERIFY(!design::checkSignalPermission(nullptr, "Studio"));
    }

private:
    catalogue::Lists lists() const { return {m_model.signalList, m_model.groups, m_model.multiSignals}; }
    int groupIndex(const QString &name) const
    {
        for (size_t i = 0; i < m_model.groups.size(); ++i) {
            if (m_model.groups[i].name == name)
                return int(i);
        }
        return -1;
    }
    QStringList namesOf(const QList<int> &positions) const
    {
        QStringList names;
        for (int p : positions)
            names.append(m_model.signalList.at(size_t(p)).name);
        return names;
    }

    DeviceModel m_model;
};

QTEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
