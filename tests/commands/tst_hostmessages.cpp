// Messages of KVM hosts: what kind each one is, the device it announces and the file tree
// built from its flat node list, also from node lists a broken or hostile host sends.
#include "commands/hostmessages.h"

#include <QtTest>

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

int count(const QList<FileInfo> &nodes)
{
    int n = 0;
    for (const FileInfo &node : nodes)
        n += 1 + count(node.children);
    return n;
}

FileInfo node(const QString &id, const QString &pid)
{
    FileInfo n;
    n.id = id;
    n.pid = pid;
    n.name = "n" + id;
    return n;
}

// A chain 1 <- 2 <- 3 ... of `length` nodes, listed parent-first or child-first.
QList<FileInfo> chain(int length, bool childFirst)
{
    QList<FileInfo> list;
    for (int i = 1; i <= length; ++i) {
        const FileInfo n = node(QString::number(i), QString::number(i - 1));
        if (childFirst)
            list.prepend(n);
        else
            list.append(n);
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
    void kinds_data();
    void kinds();
    void device_data();
    void device();
    void tree_data();
    void tree();
    void nodeFields();
    void deepChain_data();
    void deepChain();
    void treeLimit();
};

void TestHostMessages::kinds_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("response");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");

    QTest::newRow("device") << QByteArray(R"({"code":0,"response":"GetDev","data":{"dev_id":"7"}})") << Kind::Device
                            << "GetDev" << 0 << "";
    QTest::newRow("no code is success") << QByteArray(R"({"response":"GetDev","data":{}})") << Kind::Device
                                        << "GetDev" << 0 << "";
    QTest::newRow("tree") << treeMessage(R"({"id":"1","pid":"0"})") << Kind::Tree << "GetDevStructureTree" << 0
                          << "";
    QTest::newRow("code 1") << QByteArray(R"({"code":1,"msg":"busy","response":"GetDev","data":{"dev_id":"7"}})")
                            << Kind::Failed << "GetDev" << 1 << "busy";
    QTest::newRow("code as text") << QByteArray(R"({"code":"2","msg":"no","response":"GetDev"})") << Kind::Failed
                                  << "GetDev" << 2 << "no";
    QTest::newRow("code 0 as text") << QByteArray(R"({"code":"0","response":"GetDev","data":{}})") << Kind::Device
                                    << "GetDev" << 0 << "";
    QTest::newRow("code not a number") << QByteArray(R"({"code":0.5,"response":"GetDev","data":{}})")
                                       << Kind::Failed << "GetDev" << -1 << "";
    QTest::newRow("unknown response") << QByteArray(R"({"code":0,"response":"GetFan","data":{}})") << Kind::Unknown
                                      << "GetFan" << 0 << "";
    QTest::newRow("no response") << QByteArray(R"({"code":0})") << Kind::Unknown << "" << 0 << "";
    QTest::newRow("bad json") << QByteArray(R"({"code":0,"response":"GetDev")") << Kind::Invalid << "" << 0 << "";
    QTest::newRow("empty") << QByteArray() << Kind::Invalid << "" << 0 << "";
    QTest::newRow("array") << QByteArray(R"([{"code":0}])") << Kind::Invalid << "" << 0 << "";
    QTest::newRow("device without object") << QByteArray(R"({"code":0,"response":"GetDev","data":[]})")
                                           << Kind::Invalid << "GetDev" << 0 << "";
    QTest::newRow("tree without array")
        << QByteArray(R"({"code":0,"response":"GetDevStructureTree","data":{"id":"1"}})") << Kind::Invalid
        << "GetDevStructureTree" << 0 << "";
}

void TestHostMessages::kinds()
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

void TestHostMessages::device_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("devId");
    QTest::addColumn<QString>("devName");
    QTest::addColumn<QString>("devVenc");

    QTest::newRow("text") << QByteArray(R"({"code":0,"response":"GetDev","data":{"dev_id":"k1","dev_name":"Desk 1",)"
                                        R"("dev_venc":"10.0.0.50"}})")
                          << "k1" << "Desk 1" << "10.0.0.50";
    QTest::newRow("numeric id") << QByteArray(R"({"code":0,"response":"GetDev","data":{"dev_id":12,"dev_name":"D"}})")
                                << "12" << "D" << "";
}

void TestHostMessages::device()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QString, devId);
    QFETCH(QString, devName);
    QFETCH(QString, devVenc);

    const HostMessage m = parseHostMessage(datagram);
    QCOMPARE(m.kind, Kind::Device);
    QCOMPARE(m.devId, devId);
    QCOMPARE(m.devName, devName);
    QCOMPARE(m.devVenc, devVenc);
}

void TestHostMessages::tree_data()
{
    QTest::addColumn<QByteArray>("nodes");
    QTest::addColumn<QString>("shape");

    const QString family = QStringLiteral("1(2(4),3)");
    QTest::newRow("parent first") << QByteArray(R"({"id":"1","pid":"0"},{"id":"2","pid":"1"},)"
                                                R"({"id":"3","pid":"1"},{"id":"4","pid":"2"})")
                                  << family;
    QTest::newRow("child first") << QByteArray(R"({"id":"4","pid":"2"},{"id":"2","pid":"1"},)"
                                               R"({"id":"3","pid":"1"},{"id":"1","pid":"0"})")
                                 << family;
    QTest::newRow("numeric ids") << QByteArray(R"({"id":4,"pid":2},{"id":2,"pid":"1"},)"
                                               R"({"id":3,"pid":1},{"id":1,"pid":0})")
                                 << family;
    QTest::newRow("missing parent") << QByteArray(R"({"id":"1","pid":"0"},{"id":"2","pid":"9"})") << "1 2";
    QTest::newRow("two roots") << QByteArray(R"({"id":"1","pid":"0"},{"id":"5","pid":"0"},{"id":"6","pid":"5"})")
                               << "1 5(6)";
    // The first match depth-first: "b" under "a" comes before the top-level "b".
    QTest::newRow("depth first") << QByteArray(R"({"id":"a","pid":"0"},{"id":"b","pid":"a"},)"
                                               R"({"id":"b","pid":"0"},{"id":"c","pid":"b"})")
                                 << "a(b(c)) b";
    QTest::newRow("own parent") << QByteArray(R"({"id":"1","pid":"1"},{"id":"2","pid":"1"})") << "1(2)";
    QTest::newRow("two-node cycle") << QByteArray(R"({"id":"a","pid":"b"},{"id":"b","pid":"a"})") << "b(a)";
    QTest::newRow("three-node cycle") << QByteArray(R"({"id":"a","pid":"c"},{"id":"b","pid":"a"},)"
                                                    R"({"id":"c","pid":"b"})")
                                      << "c(a(b))";
    QTest::newRow("cycle and own parent") << QByteArray(R"({"id":"a","pid":"a"},{"id":"a","pid":"a"})") << "a(a)";
    QTest::newRow("no ids") << QByteArray(R"({},{},{"id":"1","pid":"0"})") << "() 1";
    QTest::newRow("not objects left out") << QByteArray(R"(1,"x",{"id":"1","pid":"0"},null)") << "1";
    QTest::newRow("empty") << QByteArray() << "";
}

void TestHostMessages::tree()
{
    QFETCH(QByteArray, nodes);
    QFETCH(QString, shape);

    const HostMessage m = parseHostMessage(treeMessage(nodes));
    QCOMPARE(m.kind, Kind::Tree);
    QCOMPARE(::shape(m.tree), shape);
}

void TestHostMessages::nodeFields()
{
    const HostMessage m = parseHostMessage(treeMessage(
        R"({"id":"1","pid":"0","name":"C:","type":1,"area":"a1"},{"id":"2","pid":"1","name":"dir","type":"2","area":"a2"})"));
    QCOMPARE(m.tree.size(), 1);
    const FileInfo &root = m.tree.first();
    QCOMPARE(root.name, QStringLiteral("C:"));
    QCOMPARE(root.type, 1);
    QCOMPARE(root.area, QStringLiteral("a1"));
    QCOMPARE(root.children.size(), 1);
    const FileInfo &child = root.children.first();
    QCOMPARE(child.pid, QStringLiteral("1"));
    QCOMPARE(child.name, QStringLiteral("dir"));
    QCOMPARE(child.type, 2);
    QCOMPARE(child.area, QStringLiteral("a2"));
}

void TestHostMessages::deepChain_data()
{
    QTest::addColumn<bool>("childFirst");
    QTest::newRow("parent first") << false;
    QTest::newRow("child first") << true;
}

// A chain as long as a tree may be: built without deep recursion, every node kept.
void TestHostMessages::deepChain()
{
    QFETCH(bool, childFirst);
    QList<FileInfo> list = chain(kMaxTreeNodes, childFirst);
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

void TestHostMessages::treeLimit()
{
    QByteArray nodes = R"({"id":"1","pid":"0"})";
    for (int i = 1; i < kMaxTreeNodes; ++i)
        nodes += R"(,{"id":"x","pid":"1"})";
    QCOMPARE(count(parseHostMessage(treeMessage(nodes)).tree), kMaxTreeNodes);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("host file tree refused")));
    const HostMessage over = parseHostMessage(treeMessage(nodes + R"(,{"id":"y","pid":"1"})"));
    QCOMPARE(over.kind, Kind::Invalid);
    QVERIFY(over.tree.isEmpty());
}

QTEST_MAIN(TestHostMessages)
#include "tst_hostmessages.moc"
