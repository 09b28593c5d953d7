// A login against kora-lab --legacy serving the generated older package (samples/legacy,
// built for this run's subnet): every widget block reaches the older page-building signals,
// the walls join the wall list with the lab's decoders, and a legacy button's command
// reaches the designed equipment.
#include "app/client.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "support/labclient.h"

class TestLegacySampleLab : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_dir.reset(new QTemporaryDir);
        QVERIFY(QDir::setCurrent(m_dir->path()));
    }

    void pagesAndButton()
    {
        kora::app::Client api;
        QSignalSpy login(&api, &ImServerApi::callQmlLogin);
        QSignalSpy pages(&api, &ImServerApi::callQmlCreatePage);
        QSignalSpy rects(&api, &ImServerApi::callQmlCreateRect);
        QSignalSpy texts(&api, &ImServerApi::callQmlCreateText);
        QSignalSpy panels(&api, &ImServerApi::callQmlCreatePanel);
        QSignalSpy buttons(&api, &ImServerApi::callQmlCreateButton);
        QSignalSpy previews(&api, &ImServerApi::callQmlCreatePreview);
        QSignalSpy sliders(&api, &ImServerApi::callQmlCreateSlider);
        QSignalSpy searches(&api, &ImServerApi::callQmlCreateSearchBox);
        QSignalSpy listens(&api, &ImServerApi::callQmlCreateListen);
        QSignalSpy matrices(&api, &ImServerApi::callQmlCreateMatrix);
        QSignalSpy lists(&api, &ImServerApi::callQmlCreateList);
        QSignalSpy vx2Pages(&api, &ImServerApi::callQmlCreateVX2Page);
        QSignalSpy vx2Buttons(&api, &ImServerApi::callQmlCreateVX2Button);
        QSignalSpy vx2Screens(&api, &ImServerApi::callQmlCreateVX2Screen);
        QVERIFY(api.ServerLogin("admin", "Admin#2024", labclient::clientIp(), "", ""));
        QVERIFY(login.wait(15000));
        QCOMPARE(login.first().first().toBool(), true);

        // Global widgets on page -1, then each page by its index; texts: title, clock, two captions.
        QCOMPARE((QList<int>{pages.size(), rects.size(), texts.size(), panels.size(), previews.size(), sliders.size(),
                             searches.size(), listens.size(), matrices.size(), lists.size(), buttons.size()}),
                 (QList<int>{3, 3, 4, 2, 1, 1, 1, 1, 1, 1, 2}));
        QCOMPARE(rects.first().first().toInt(), -1);
        QCOMPARE(rects.first().at(1).toMap().value("globalPos").toRect(), QRect(0, 0, 1920, 1080));
        QCOMPARE(panels.at(0).first().toInt(), 0);
        QCOMPARE(panels.at(1).first().toInt(), 2);
        QCOMPARE(previews.first().at(1).toStringList(), (QStringList{"Studio", "会议室"}));
        QCOMPARE(lists.first().first().toInt(), -1);
        // The matrix is known: a preset saved for it can be called back.
        const QString matrix = matrices.first().at(1).toMap().value("uuid").toString();
        QVERIFY(!matrix.isEmpty());
        api.ServerSaveMatrixPreset(matrix, "Rehearsal", "M_" + matrix + "_1_2");
        QCOMPARE(api.ServerCallMatrixPreset(matrix, 0), (QStringList{"1", "2"}));

        // The hall level display reads channel 2 of the equipment: its value is one the
        // equipment sent to the display's reply port.
        QSignalSpy levels(&api, &ImServerApi::callQmlRefreshListen);
        QTRY_VERIFY_WITH_TIMEOUT(!levels.isEmpty(), 5000);
        QCOMPARE(levels.first().first().toString(), QStringLiteral("500001"));
        const auto answered = [] {
            QSet<int> values;
            for (const QJsonObject &o : labclient::journalFrom(0)) {
                const QByteArray bytes = QByteArray::fromHex(o.value("hex").toString().toLatin1());
                if (o.value("peer").toString() == QLatin1String("equipment") && o.value("dir").toString() == QLatin1String("out")
                    && o.value("dst").toString().endsWith(QLatin1String(":9011")) && bytes.size() == 7
                    && bytes.startsWith(QByteArray::fromHex("aa559002")))
                    values.insert(qint16(quint8(bytes[4]) | quint8(bytes[5]) << 8));
            }
            return values;
        };
        const int shown = levels.first().at(1).toInt();
        QTRY_VERIFY2_WITH_TIMEOUT(answered().contains(shown), qPrintable(QStringLiteral("shown %1, answered %2 values").arg(shown).arg(answered().size())), 3000);

        QCOMPARE(api.walls().size(), 2);
        QCOMPARE(api.walls().at(0).pageId, QStringLiteral("1"));
        QCOMPARE(api.walls().at(0).decoderAddresses,
                 (QStringList{labclient::peerAddress(20), labclient::peerAddress(21), labclient::peerAddress(22),
                              labclient::peerAddress(23)}));
        QCOMPARE(api.walls().at(1).pageId, QStringLiteral("3"));

        // The projector button's second (checked) state: "on" as a hex frame to the
        // equipment's UDP port.
        const QVariantMap state1 = buttons.first().at(3).toMap();
        const qint64 from = labclient::journalEnd();
        api.ServerButtonCmd(state1.value("cmd").toStringList());
        const auto arrived = [from] {
            int n = 0;
            for (const QJsonObject &o : labclient::journalFrom(from)) {
                n += o.value("peer").toString() == QLatin1String("equipment") && o.value("dir").toString() == QLatin1String("in")
                     && o.value("hex").toString().compare(QLatin1String("aa5501010001cc"), Qt::CaseInsensitive) == 0;
            }
            return n;
        };
        QTRY_COMPARE_WITH_TIMEOUT(arrived(), 1, 5000);

        // The same button on the Design 2.0 host: its checked entry sends the same frame.
        QCOMPARE((QList<int>{vx2Pages.size(), vx2Screens.size(), vx2Buttons.size()}), (QList<int>{3, 2, 2}));
        QCOMPARE(vx2Screens.first().first().toString(), QStringLiteral("1"));
        QCOMPARE(vx2Buttons.first().first().toString(), QStringLiteral("1"));
        const QVariantMap button = vx2Buttons.first().at(1).toMap();
        QCOMPARE(button.value("objectName").toString(), QStringLiteral("600001"));
        QVariantMap pressed;
        for (const QVariant &e : button.value("eventAttrList").toList()) {
            if (e.toMap().value("action").toString() == QLatin1String("ButtonPressed"))
                pressed = e.toMap();
        }
        api.ServerVX2ButtonCmd(pressed);
        QTRY_COMPARE_WITH_TIMEOUT(arrived(), 2, 5000);
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_MAIN(TestLegacySampleLab)
#include "tst_legacy_sample_lab.moc"
