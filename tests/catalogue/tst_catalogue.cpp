// Catalogue queries over the lab's sample project: its device file is read by the device
// model, then search and the favourites tree are asked of it.
#include "catalogue/catalogue.h"
#include "model/devicefile.h"

#include <QFile>
#include <QJsonObject>
#include <QtTest>
#include "support/table.h"

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

    void search_data()
    {
        columns<QStringList, QString, QStringList>({"groups", "text", "names"});
        QTest::newRow("substring") << QStringList{"1", "3"} << "camera"
                                   << QStringList{"Studio camera 1", "Studio camera 2", "Gate camera", "Car park camera",
                                                  "Lobby camera", "Roof camera", "Dock camera-IPC"};
        QTest::newRow("CJK group, empty text: all once") << QStringList{"4", "4"} << ""
                                                         << QStringList{"会议室 PC", "会议室 笔记本"};
        QTest::newRow("not a group position") << QStringList{"x", "-1", "99"} << "" << QStringList{};
    }
    void search()
    {
        QFETCH(QStringList, groups);
        QFETCH(QString, text);
        QTEST(namesOf(catalogue::searchSignal(lists(), groups, text)), "names");
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
        QCOMPARE(catalogue::multiSignalMessage(l, 0).value("name").toString(), QStringLiteral("Studio quad"));
        QVERIFY(catalogue::multiSignalMessage(l, int(m_model.multiSignals.size())).isEmpty());
    }


private:
    catalogue::Lists lists() const { return {m_model.signalList, m_model.groups, m_model.multiSignals}; }
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
