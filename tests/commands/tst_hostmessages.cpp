// Messages of KVM hosts: what kind each one is, the device it announces and the file tree
// built from its flat node list, also from node lists a broken or hostile host sends.
#include "commands/hostmessages.h"

#include "support/testmain.h"

using namespace kora::commands;
using Kind = HostMessage::Kind;

Q_DECLARE_METATYPE(Kind)

namespace {

// "id(child,child) id": the forest as text, ids only.
QString shape(const QList<FileInfo> &nodes, QChar separator = ' ')
{
    QStringList texts;
    for (const FileInfo &node : nodes)
        texts << (node.children.isEmpty() ? node.id : node.id + '(' + shape(node.children, ',') + ')');
    return texts.join(separator);
}

// A chain 1 <- 2 <- 3 ... of `length` nodes, listed child first.
QList<FileInfo> chain(int length)
{
    QList<FileInfo> list;
    for (int i = 1; i <= length; ++i) {
        FileInfo n;
        n.id = QString::number(i);
        n.pid = QString::number(i - 1);
        list.prepend(n);
    }
    return list;
}

QByteArray treeMessage(const QByteArray &nodes)
{
    return R"({"code":0,"response":"GetDevStructureTree","data":[)" + nodes + "]}";
}

} // namespace

class TestHostMessages : public QObject
{
    Q_OBJECT
private slots:
    void kinds_data()
    {
        columns<QByteArray, Kind, QString, int, QString>({"datagram", "kind", "response", "code", "message"});

        QTest::newRow("device") << QByteArray(R"({"code":0,"response":"GetDev","data":{"dev_id":"7"}})") << Kind::Device
                                << "GetDev" << 0 << "";
        QTest::newRow("code 1") << QByteArray(R"({"code":1,"msg":"busy","response":"GetDev","data":{"dev_id":"7"}})")
                                << Kind::Failed << "GetDev" << 1 << "busy";
        QTest::newRow("bad json") << QByteArray(R"({"code":0,"response":"GetDev")") << Kind::Invalid << "" << 0 << "";
        QTest::newRow("tree without array")
            << QByteArray(R"({"code":0,"response":"GetDevStructureTree","data":{"id":"1"}})") << Kind::Invalid
            << "GetDevStructureTree" << 0 << "";
    }

    void kinds()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(Kind, kind);
        QFETCH(QString, response);
        QFETCH(int, code);
        QFETCH(QString, message);

        const HostMessage m = parseHostMessage(datagram);
        QCOMPARE(m.kind, kind);
        QCOMPARE(m.response, response);
        QCOMPARE(m.code, code);
        QCOMPARE(m.message, message);
    }

    void tree_data()
    {
        columns<QByteArray, QString>({"nodes", "shape"});

        const QString family = QStringLiteral("1(2(4),3)");
        QTest::newRow("parent first") << QByteArray(R"({"id":"1","pid":"0"},{"id":"2","pid":"1"},)"
                                                    R"({"id":"3","pid":"1"},{"id":"4","pid":"2"})")
                                      << family;
        // The first match depth-first: "b" under "a" comes before the top-level "b".
        QTest::newRow("depth first") << QByteArray(R"({"id":"a","pid":"0"},{"id":"b","pid":"a"},)"
                                                   R"({"id":"b","pid":"0"},{"id":"c","pid":"b"})")
                                     << "a(b(c)) b";
        QTest::newRow("no ids") << QByteArray(R"({},{},{"id":"1","pid":"0"})") << "() 1";
    }

    void tree()
    {
        QFETCH(QByteArray, nodes);
        QFETCH(QString, shape);

        const HostMessage m = parseHostMessage(treeMessage(nodes));
        QCOMPARE(m.kind, Kind::Tree);
        QCOMPARE(::shape(m.tree), shape);
    }

    // A chain as long as a tree may be, listed child first: built without deep recursion, every
    // node kept.
    void deepChain()
    {
        QList<FileInfo> list = chain(kMaxTreeNodes);
        buildHostFileTree(list);
        QCOMPARE(list.size(), 1);
        const FileInfo *at = &list.first();
        int depth = 1;
        while (!at->children.isEmpty()) {
            QCOMPARE(at->children.size(), 1);
            QCOMPARE(at->children.first().pid, at->id);
            at = &at->children.first();
            ++depth;
        }
        QCOMPARE(depth, kMaxTreeNodes);
        QCOMPARE(at->id, QString::number(kMaxTreeNodes));
    }

    void treeLimit()
    {
        QByteArray nodes = R"({"id":"1","pid":"0"})";
        for (int i = 1; i < kMaxTreeNodes; ++i)
            nodes += R"(,{"id":"x","pid":"1"})";
        const HostMessage at = parseHostMessage(treeMessage(nodes));
        QCOMPARE(at.tree.size(), 1);
        QCOMPARE(at.tree.first().children.size(), kMaxTreeNodes - 1);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("host file tree refused")));
        const HostMessage over = parseHostMessage(treeMessage(nodes + R"(,{"id":"y","pid":"1"})"));
        QCOMPARE(over.kind, Kind::Invalid);
        QVERIFY(over.tree.isEmpty());
    }
};

KORA_TEST(TestHostMessages)
#include "tst_hostmessages.moc"
