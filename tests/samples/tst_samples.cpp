// Checks the generated sample packages (lab, built-in, large) against what the client and
// the lab rely on, and the generator's handling of bad input.
#include "cipher/storagecipher.h"
#include "support/testfiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

#include <zlib.h>

#include <algorithm>
#include <functional>

namespace {

const QString kSamples = QStringLiteral(SAMPLES_DIR);
const QString kSources = QStringLiteral(SAMPLES_SOURCE_DIR);
const QString kGenerator = QStringLiteral(SAMPLEGEN);
const QString kNet = QStringLiteral("10.77.1");

QString labFile(const QString &name)
{
    return kSamples + "/lab/" + name;
}

QJsonObject readJson(const QString &path)
{
    return QJsonDocument::fromJson(readFile(path)).object();
}

QString md5(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

// files.txt: "name md5" per line, in order.
QVector<QPair<QString, QString>> manifest(const QString &dir)
{
    QVector<QPair<QString, QString>> out;
    for (const QByteArray &line : readFile(dir + "/files.txt").split('\n')) {
        if (line.isEmpty())
            continue;
        const QList<QByteArray> parts = line.split(' ');
        out.append({QString::fromUtf8(parts.value(0)), QString::fromLatin1(parts.value(1))});
    }
    return out;
}

QJsonValue designProperty(const QJsonObject &node, const QString &name)
{
    for (const QJsonValue &p : node.value("property").toArray())
        if (p.toObject().value("name").toString() == name)
            return p.toObject().value("value");
    return QJsonValue();
}

void walk(const QJsonObject &node, const std::function<void(const QJsonObject &)> &f)
{
    f(node);
    for (const QJsonValue &c : node.value("item").toArray())
        walk(c.toObject(), f);
}

QJsonArray pagesOf(const QJsonObject &design)
{
    return design.value("ui").toObject().value("item").toArray();
}

QList<QJsonObject> nodesOfClass(const QJsonObject &root, const QString &cls)
{
    QList<QJsonObject> out;
    walk(root, [&](const QJsonObject &n) {
        if (n.value("class").toString() == cls)
            out.append(n);
    });
    return out;
}

QStringList stringList(const QJsonValue &v)
{
    QStringList out;
    for (const QJsonValue &e : v.toArray())
        out.append(e.toString());
    return out;
}

struct Account {
    QString package, user, password, role;
    QStringList pages;
};

// The accounts table of samples/README.md.
QVector<Account> accounts()
{
    QVector<Account> out;
    bool inSection = false;
    for (const QString &line : QString::fromUtf8(readFile(kSources + "/README.md")).split('\n')) {
        if (line.startsWith("## "))
            inSection = line.trimmed() == "## Accounts";
        if (!inSection || !line.startsWith("| ") || line.startsWith("| package") || line.startsWith("|---"))
            continue;
        QStringList cells = line.split('|');
        for (QString &c : cells)
            c = c.trimmed().remove('`');
        if (cells.size() < 7)
            continue;
        QStringList pages = cells.at(5).split(',');
        for (QString &p : pages)
            p = p.trimmed();
        out.append({cells.at(1), cells.at(2), cells.at(3), cells.at(4), pages});
    }
    return out;
}

QJsonObject userRecord(const QJsonObject &device, const QString &name)
{
    for (const QJsonValue &u : device.value("users").toArray())
        if (u.toObject().value("name").toString() == name)
            return u.toObject();
    return QJsonObject();
}

QJsonObject roleRecord(const QJsonObject &device, const QString &name)
{
    for (const QJsonValue &r : device.value("roles").toArray())
        if (r.toObject().value("name").toString() == name)
            return r.toObject();
    return QJsonObject();
}

QJsonArray devicesOfKind(const QJsonObject &device, const QString &kind)
{
    for (const QJsonValue &e : device.value("device").toArray())
        if (e.toObject().value("device").toString() == kind)
            return e.toObject().value("list").toArray();
    return QJsonArray();
}

// ---- ZIP reading, independent of the generator's writer.

struct ZipItem {
    QString name;
    quint16 flags = 0, method = 0, time = 0, date = 0;
    quint32 crc = 0, compressed = 0, size = 0, attributes = 0, offset = 0;
    QByteArray data; // uncompressed
    QString problem;
};

quint16 u16(const QByteArray &b, int at)
{
    return quint16(uchar(b.at(at)) | (uchar(b.at(at + 1)) << 8));
}

quint32 u32(const QByteArray &b, int at)
{
    return quint32(u16(b, at)) | (quint32(u16(b, at + 2)) << 16);
}

QByteArray inflateRaw(const QByteArray &in, int expected)
{
    QByteArray out(expected, '\0');
    z_stream zs{};
    if (inflateInit2(&zs, -MAX_WBITS) != Z_OK)
        return QByteArray();
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(in.constData()));
    zs.avail_in = uInt(in.size());
    zs.next_out = reinterpret_cast<Bytef *>(out.data());
    zs.avail_out = uInt(out.size());
    const int rc = inflate(&zs, Z_FINISH);
    const bool whole = rc == Z_STREAM_END && int(zs.total_out) == expected;
    inflateEnd(&zs);
    return whole ? out : QByteArray();
}

QVector<ZipItem> readZip(const QByteArray &zip, QString *error)
{
    QVector<ZipItem> items;
    const int end = zip.lastIndexOf(QByteArray("PK\x05\x06", 4));
    if (end < 0 || end + 22 > zip.size()) {
        *error = "no end record";
        return items;
    }
    const int count = u16(zip, end + 10);
    int at = int(u32(zip, end + 16));
    for (int i = 0; i < count; ++i) {
        if (at + 46 > zip.size() || u32(zip, at) != 0x02014b50) {
            *error = QStringLiteral("bad central entry %1").arg(i);
            return items;
        }
        ZipItem it;
        it.flags = u16(zip, at + 8);
        it.method = u16(zip, at + 10);
        it.time = u16(zip, at + 12);
        it.date = u16(zip, at + 14);
        it.crc = u32(zip, at + 16);
        it.compressed = u32(zip, at + 20);
        it.size = u32(zip, at + 24);
        const int nameLength = u16(zip, at + 28);
        const int skip = nameLength + u16(zip, at + 30) + u16(zip, at + 32);
        it.attributes = u32(zip, at + 38);
        it.offset = u32(zip, at + 42);
        it.name = QString::fromUtf8(zip.mid(at + 46, nameLength));
        at += 46 + skip;

        const int local = int(it.offset);
        if (u32(zip, local) != 0x04034b50 || u16(zip, local + 8) != it.method || u32(zip, local + 14) != it.crc ||
            u32(zip, local + 18) != it.compressed || u32(zip, local + 22) != it.size ||
            zip.mid(local + 30, u16(zip, local + 26)) != it.name.toUtf8())
            it.problem = "local header disagrees with the central directory";
        const QByteArray payload = zip.mid(local + 30 + u16(zip, local + 26) + u16(zip, local + 28), int(it.compressed));
        it.data = it.method == 8 ? inflateRaw(payload, int(it.size)) : payload;
        if (it.problem.isEmpty() && quint32(it.data.size()) != it.size)
            it.problem = "data does not have the listed size";
        if (it.problem.isEmpty() &&
            quint32(crc32(0, reinterpret_cast<const Bytef *>(it.data.constData()), uInt(it.data.size()))) != it.crc)
            it.problem = "CRC mismatch";
        items.append(it);
    }
    return items;
}

struct Run {
    int code = -1;
    bool crashed = true;
    QByteArray out, err;
};

Run generate(const QStringList &args)
{
    QProcess p;
    p.start(kGenerator, args);
    Run r;
    if (!p.waitForFinished(120000))
        return r;
    r.code = p.exitCode();
    r.crashed = p.exitStatus() != QProcess::NormalExit;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

bool copyTree(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    for (const QFileInfo &fi : QDir(from).entryInfoList(QDir::Files))
        if (!QFile::copy(fi.filePath(), to + "/" + fi.fileName()))
            return false;
    return true;
}

// Every dotted IPv4 text in a file.
QStringList addressesIn(const QByteArray &text)
{
    QStringList out;
    QRegularExpression re("(?<![\\d.])(\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}\\.\\d{1,3})(?![\\d.])");
    auto it = re.globalMatch(QString::fromUtf8(text));
    while (it.hasNext())
        out.append(it.next().captured(1));
    return out;
}

// The resolution the client takes for a screen aspect: first wins, later only when strictly closer.
QSize closest(const QJsonObject &descriptor, qreal aspect)
{
    QSize best;
    qreal bestDiff = 0;
    for (const QJsonValue &v : descriptor.value("client.ui").toArray()) {
        const QJsonObject r = v.toObject().value("resolution").toObject();
        const QSize s(r.value("w").toInt(), r.value("h").toInt());
        const qreal diff = qAbs(aspect - qreal(s.width()) / s.height());
        if (!best.isValid() || diff < bestDiff) {
            best = s;
            bestDiff = diff;
        }
    }
    return best;
}

} // namespace

class TestSamples : public QObject {
    Q_OBJECT

private:
    void checkManifest(const QString &dir, const QStringList &expected);
    void checkPasswords(const QJsonObject &device, const QString &package);

private slots:
    void labManifest();
    void descriptorOffersResolutions_data();
    void descriptorOffersResolutions();
    void labDevice();
    void passwords_data();
    void passwords();
    void language();
    void imageArchive();
    void labDesigns_data();
    void labDesigns();
    void addressesStayInTheirRanges();
    void netOptionMovesAddresses();
    void outputIsDeterministic();
    void builtinPackage();
    void builtinResourcesAreLinked_data();
    void builtinResourcesAreLinked();
    void largePackage_data();
    void largePackage();
    void badInput_data();
    void badInput();
};

void TestSamples::checkManifest(const QString &dir, const QStringList &expected)
{
    const auto entries = manifest(dir);
    QStringList names;
    for (const auto &e : entries) {
        names.append(e.first);
        QCOMPARE(md5(readFile(dir + "/" + e.first)), e.second);
    }
    QCOMPARE(names, expected);
    // Nothing in the folder that the host would not announce, besides the list itself.
    QStringList present = QDir(dir).entryList(QDir::Files);
    present.removeOne("files.txt");
    QStringList sortedNames = names;
    sortedNames.sort();
    QCOMPARE(present, sortedNames);
}

void TestSamples::labManifest()
{
    checkManifest(kSamples + "/lab",
                  {"northgate.ds", "language.txt", "device.json", "client0_1280_1024.jui", "client0_1920_1080.jui",
                   "client0_1080_1920.jui", "kvm.jui", "image.zip"});
}

void TestSamples::descriptorOffersResolutions_data()
{
    QTest::addColumn<qreal>("aspect");
    QTest::addColumn<QSize>("chosen");
    QTest::newRow("16:9 screen skips the first entry") << 16.0 / 9 << QSize(1920, 1080);
    QTest::newRow("5:4 panel") << 1.25 << QSize(1280, 1024);
    QTest::newRow("4:3 panel is closest to 5:4") << 4.0 / 3 << QSize(1280, 1024);
    QTest::newRow("portrait 9:16") << 9.0 / 16 << QSize(1080, 1920);
    QTest::newRow("ultra-wide 21:9") << 21.0 / 9 << QSize(1920, 1080);
}

void TestSamples::descriptorOffersResolutions()
{
    QFETCH(qreal, aspect);
    QFETCH(QSize, chosen);
    const QJsonObject ds = readJson(labFile("northgate.ds"));
    QCOMPARE(closest(ds, aspect), chosen);
    const QString design = QStringLiteral("client0_%1_%2.jui").arg(chosen.width()).arg(chosen.height());
    QVERIFY2(QFileInfo::exists(labFile(design)), qPrintable(design));
}

void TestSamples::labDevice()
{
    const QJsonObject device = readJson(labFile("device.json"));
    QVERIFY(!device.isEmpty());

    const QJsonArray signalDevices = devicesOfKind(device, "signal");
    QVERIFY(signalDevices.size() >= 12);
    QSet<QString> encoders;
    for (const QJsonValue &s : signalDevices) {
        const QString ip = s.toObject().value("IP").toString();
        encoders.insert(ip.left(ip.indexOf('(')));
        QVERIFY(s.toObject().value("MainUrl").toString().size() > 6);
        QVERIFY(s.toObject().value("JpegUrl").toString().size() > 6);
    }
    QCOMPARE(encoders.size(), signalDevices.size()); // one encoder per signal

    QMap<QString, QStringList> walls;
    for (const QJsonValue &o : devicesOfKind(device, "output")) {
        const QString panel = o.toObject().value("Panel").toString();
        if (panel != "-1")
            walls[panel].append(o.toObject().value("IP").toString());
    }
    QCOMPARE(walls.keys(), QStringList({"1", "2"}));
    for (const QStringList &decoders : walls)
        QCOMPARE(decoders.size(), 4);

    QVERIFY(!device.value("multi_signal").toArray().isEmpty());
    QCOMPARE(device.value("multi_signal").toArray().at(0).toObject().value("type").toString(), QString("2x2"));
    QStringList groups;
    for (const QJsonValue &g : device.value("signal_group").toArray())
        groups.append(g.toObject().value("name").toString());
    QVERIFY(groups.contains(QString::fromUtf8("收藏")));
    QVERIFY(groups.size() >= 3);
    QCOMPARE(device.value("roles").toArray().size(), 2);
    QCOMPARE(device.value("users").toArray().size(), 3);
    for (const QJsonValue &u : device.value("users").toArray()) {
        QVERIFY(!u.toObject().contains("passwd_clear"));
        QVERIFY(!roleRecord(device, u.toObject().value("role").toString()).isEmpty());
    }
    QCOMPARE(stringList(roleRecord(device, "operator").value("pageList")).size(), 2);
}

void TestSamples::passwords_data()
{
    QTest::addColumn<QString>("package");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("role");
    QTest::addColumn<QStringList>("pages");
    const auto table = accounts();
    QVERIFY(table.size() >= 4);
    for (const Account &a : table)
        QTest::newRow(qPrintable(a.package + "/" + a.user)) << a.package << a.user << a.password << a.role << a.pages;
}

void TestSamples::passwords()
{
    QFETCH(QString, package);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, role);
    QFETCH(QStringList, pages);
    const QString path = package == "lab" ? labFile("device.json") : kSamples + "/builtin/test/device.json";
    const QJsonObject device = readJson(path);
    const QJsonObject record = userRecord(device, user);
    QVERIFY2(!record.isEmpty(), qPrintable(user));
    const QByteArray stored = record.value("passwd").toString().toLatin1();
    QCOMPARE(stored, kora::encipherForStorage(password.toLatin1()).toBase64());
    QCOMPARE(kora::decipherFromStorage(QByteArray::fromBase64(stored)), password.toLatin1());
    QCOMPARE(QByteArray::fromBase64(stored).size(), (password.size() / 16 + 1) * 16);
    QVERIFY(stored != kora::encipherForStorage((password + "x").toLatin1()).toBase64());
    QCOMPARE(record.value("role").toString(), role);
    QCOMPARE(stringList(roleRecord(device, role).value("pageList")), pages);
}

void TestSamples::language()
{
    const QByteArray bytes = readFile(labFile("language.txt"));
    QVERIFY(bytes.endsWith("\r\n"));
    for (int i = 0; i < bytes.size(); ++i) {
        if (bytes.at(i) == '\n')
            QVERIFY2(i > 0 && bytes.at(i - 1) == '\r', "bare LF");
        if (bytes.at(i) == '\r')
            QVERIFY2(i + 1 < bytes.size() && bytes.at(i + 1) == '\n', "bare CR");
    }
    QVERIFY(std::any_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) >= 0x80; }));
    QTextCodec *gbk = QTextCodec::codecForName("GBK");
    QTextCodec::ConverterState state;
    const QString text = gbk->toUnicode(bytes.constData(), bytes.size(), &state);
    QCOMPARE(state.invalidChars, 0);
    QCOMPARE(gbk->fromUnicode(text), bytes);
    QCOMPARE(bytes.indexOf(QByteArray::fromRawData("\xef\xbb\xbf", 3)), -1);

    QStringList source = QString::fromUtf8(readFile(kSources + "/lab/language.txt")).split('\n');
    if (source.last().isEmpty())
        source.removeLast();
    QStringList lines = text.split("\r\n");
    lines.removeLast();
    QCOMPARE(lines, source);
    QVERIFY(lines.contains(QString::fromUtf8("User or Password Error=用户名或密码错误")));
    QVERIFY(lines.contains(QString())); // an empty line, which readers skip
}

void TestSamples::imageArchive()
{
    QString error;
    const QVector<ZipItem> items = readZip(readFile(labFile("image.zip")), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    int stored = 0, deflated = 0, folders = 0, utf8 = 0;
    QSet<QString> names;
    for (const ZipItem &it : items) {
        QVERIFY2(it.problem.isEmpty(), qPrintable(it.name + ": " + it.problem));
        names.insert(it.name);
        QCOMPARE(it.date, quint16(((2024 - 1980) << 9) | (5 << 5) | 20));
        QCOMPARE(it.time, quint16((9 << 11) | (30 << 5)));
        const QByteArray utf8Name = it.name.toUtf8();
        const bool ascii = std::all_of(utf8Name.begin(), utf8Name.end(), [](char c) { return uchar(c) < 0x80; });
        QCOMPARE(bool(it.flags & 0x0800), !ascii);
        utf8 += ascii ? 0 : 1;
        if (it.name.endsWith('/')) {
            ++folders;
            QVERIFY(it.attributes & 0x10);
            QCOMPARE(it.size, 0u);
            continue;
        }
        QVERIFY(!(it.attributes & 0x10));
        if (it.method == 0)
            ++stored;
        else if (it.method == 8)
            ++deflated;
        else
            QFAIL(qPrintable(it.name + ": unexpected method"));
        QVERIFY2(!QImage::fromData(it.data).isNull(), qPrintable(it.name));
    }
    QVERIFY(stored >= 1);
    QVERIFY(deflated >= 1);
    QVERIFY(folders >= 1);
    QVERIFY(utf8 >= 1);

    // Every picture a design names is in the archive.
    for (const QString &design : QDir(kSamples + "/lab").entryList({"client0_*.jui"})) {
        const QByteArray text = readFile(labFile(design));
        QRegularExpression re("\"\\./image/([^\"]+)\"");
        auto m = re.globalMatch(QString::fromUtf8(text));
        int refs = 0;
        while (m.hasNext()) {
            const QString name = m.next().captured(1);
            QVERIFY2(names.contains(name), qPrintable(design + " names " + name));
            ++refs;
        }
        QVERIFY(refs > 10);
    }
}

void TestSamples::labDesigns_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QSize>("size");
    QTest::newRow("1920x1080") << "client0_1920_1080.jui" << QSize(1920, 1080);
    QTest::newRow("1280x1024") << "client0_1280_1024.jui" << QSize(1280, 1024);
    QTest::newRow("1080x1920") << "client0_1080_1920.jui" << QSize(1080, 1920);
}

void TestSamples::labDesigns()
{
    QFETCH(QString, file);
    QFETCH(QSize, size);
    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson(readFile(labFile(file)), &err);
    QCOMPARE(err.error, QJsonParseError::NoError);
    const QJsonObject design = doc.object();
    const QJsonObject device = readJson(labFile("device.json"));
    const QJsonArray pages = pagesOf(design);
    QCOMPARE(pages.size(), 4);

    const QJsonObject login = pages.at(0).toObject();
    QCOMPARE(designProperty(login, "label").toString(), QString("LoginPage"));
    QCOMPARE(designProperty(login, "resolution").toObject().value("width").toInt(), size.width());
    QCOMPARE(designProperty(login, "resolution").toObject().value("height").toInt(), size.height());
    const QList<QJsonObject> loginWidgets = nodesOfClass(login, "LoginWidget");
    QCOMPARE(loginWidgets.size(), 1);
    QStringList boxes, buttons;
    for (const QJsonObject &n : nodesOfClass(loginWidgets.first(), "InputBoxWidget"))
        boxes.append(designProperty(n, "label").toString());
    for (const QJsonObject &n : nodesOfClass(loginWidgets.first(), "ButtonWidget"))
        buttons.append(designProperty(n, "label").toString());
    QCOMPARE(boxes, QStringList({"UserInputBox", "PasswordInputBox", "HostIPInputBox", "ServerIPInputBox",
                                 "DownloadInputBox"}));
    QCOMPARE(buttons, QStringList({"RememberBtn", "YesBtn", "QuitBtn"}));
    QCOMPARE(designProperty(loginWidgets.first(), "hasServerDevice").toBool(), true);

    QStringList pageIds;
    for (int i = 1; i < pages.size(); ++i)
        pageIds.append(designProperty(pages.at(i).toObject(), "uuid").toString());
    QCOMPARE(pageIds, stringList(roleRecord(device, "admin").value("pageList")));

    // Geometry stays on the page.
    walk(design.value("ui").toObject(), [&](const QJsonObject &n) {
        const QJsonObject g = designProperty(n, "sWidgetGeometry").toObject();
        if (g.isEmpty())
            return;
        QVERIFY2(g.value("x").toInt() >= 0 && g.value("y").toInt() >= 0 &&
                     g.value("x").toInt() + g.value("width").toInt() <= size.width() &&
                     g.value("y").toInt() + g.value("height").toInt() <= size.height(),
                 qPrintable(n.value("name").toString()));
    });

    // Walls: ids, 2 × 2, and cells naming that wall's outputs.
    QMap<QString, QStringList> outputs;
    for (const QJsonValue &o : devicesOfKind(device, "output")) {
        const QString ip = o.toObject().value("IP").toString();
        outputs[o.toObject().value("Panel").toString()].append(ip.left(ip.indexOf('(')));
    }
    const QList<QJsonObject> walls = nodesOfClass(design.value("ui").toObject(), "VideoWallWidget");
    QCOMPARE(walls.size(), 2);
    for (const QJsonObject &w : walls) {
        const QString id = designProperty(w, "panelID").toString();
        QCOMPARE(designProperty(w, "row").toInt(), 2);
        QCOMPARE(designProperty(w, "column").toInt(), 2);
        QStringList cells{QString(), QString(), QString(), QString()};
        for (const QJsonObject &c : nodesOfClass(w, "TableCell")) {
            const QJsonObject pos = designProperty(c, "cellPos").toObject();
            cells[pos.value("x").toInt() + pos.value("y").toInt() * 2] = designProperty(c, "deviceID").toString();
        }
        QCOMPARE(cells, outputs.value(id));
        QStringList presets;
        for (const QJsonValue &p : designProperty(w, "presetMap").toArray())
            presets.append(p.toObject().value("name").toString());
        QVERIFY(presets.contains("audio_normal"));
        QVERIFY(presets.size() >= 3);
    }

    // Designed commands to the equipment: hex over UDP 9000 and ASCII over TCP 9001.
    int hexUdp = 0, asciiTcp = 0, inline_ = 0;
    walk(design.value("ui").toObject(), [&](const QJsonObject &n) {
        for (const QJsonValue &e : designProperty(n, "eventAttrList").toArray()) {
            const QJsonObject v = e.toObject().value("value").toObject();
            if (e.toObject().value("behavior").toString() != "SendData")
                continue;
            const QString ip = v.value("ip").toString();
            if (ip == "127.0.0.1") {
                ++inline_;
            } else if (v.value("protocol") == "Udp" && v.value("type") == "Hex" && v.value("port").toInt() == 9000) {
                QCOMPARE(ip, kNet + ".8");
                ++hexUdp;
            } else if (v.value("protocol") == "Tcp" && v.value("type") == "ASCII" && v.value("port").toInt() == 9001) {
                QCOMPARE(ip, kNet + ".8");
                QVERIFY(v.value("data").toString().endsWith("\r\n"));
                ++asciiTcp;
            }
        }
    });
    QVERIFY(hexUdp >= 4);
    QVERIFY(asciiTcp >= 4);
    QVERIFY(inline_ >= 3);
    const QJsonObject ui = design.value("ui").toObject();
    QCOMPARE(nodesOfClass(ui, "SliderWidget").size(), 2);
    QVERIFY(!nodesOfClass(ui, "TreeWidget").isEmpty());
    QVERIFY(!nodesOfClass(ui, "SignalListWidget").isEmpty());
    QStringList treeGroups = stringList(designProperty(nodesOfClass(ui, "TreeWidget").first(), "topGroupNames"));
    QVERIFY(treeGroups.contains(QString::fromUtf8("input:signalGroup/收藏")));
    // The matrix: 4 × 4 latching buttons, one exclusive group per output.
    QMap<int, int> perGroup;
    for (const QJsonObject &b : nodesOfClass(ui, "ButtonWidget"))
        if (designProperty(b, "label").toString() == "matrix" && designProperty(b, "buttonGroup").toInt() >= 0) {
            QCOMPARE(designProperty(b, "autoLift").toBool(), false);
            ++perGroup[designProperty(b, "buttonGroup").toInt()];
        }
    QCOMPARE(perGroup.size(), 4);
    for (int count : perGroup)
        QCOMPARE(count, 4);
}

void TestSamples::addressesStayInTheirRanges()
{
    for (const QString &file : {QString("device.json"), QString("client0_1920_1080.jui"), QString("northgate.ds")}) {
        const QStringList found = addressesIn(readFile(labFile(file)));
        QVERIFY(!found.isEmpty());
        for (const QString &a : found)
            QVERIFY2(a.startsWith(kNet + ".") || a.startsWith("239.10.") || a == "127.0.0.1",
                     qPrintable(file + ": " + a));
    }
    for (const QString &a : addressesIn(readFile(kSamples + "/builtin/test/device.json")))
        QVERIFY2(a.startsWith("192.0.2.") || a.startsWith("239.10."), qPrintable(a));
}

void TestSamples::netOptionMovesAddresses()
{
    QTemporaryDir tmp;
    const Run r = generate({"--source", kSources + "/lab", "--out", tmp.path(), "--net", "10.77.42"});
    QCOMPARE(r.code, 0);
    const QByteArray device = readFile(tmp.path() + "/device.json");
    QVERIFY(device.contains("\"10.77.42.20(0)\""));
    QVERIFY(!device.contains("10.77.1."));
    QVERIFY(manifest(tmp.path()) != manifest(kSamples + "/lab"));
}

void TestSamples::outputIsDeterministic()
{
    QTemporaryDir tmp;
    const Run r = generate({"--source", kSources + "/lab", "--out", tmp.path()});
    QCOMPARE(r.code, 0);
    QVERIFY(r.err.isEmpty());
    QCOMPARE(manifest(tmp.path()), manifest(kSamples + "/lab"));
}

void TestSamples::builtinPackage()
{
    const QString dir = kSamples + "/builtin";
    const QJsonObject device = readJson(dir + "/test/device.json");
    const QJsonObject admin = userRecord(device, "admin");
    QVERIFY(!admin.isEmpty());
    const QJsonObject design = readJson(dir + "/test/client0_1920_1080.jui");
    const QJsonArray pages = pagesOf(design);
    QVERIFY(pages.size() >= 2);
    QCOMPARE(designProperty(pages.at(0).toObject(), "label").toString(), QString("LoginPage"));
    QStringList ids;
    for (int i = 1; i < pages.size(); ++i)
        ids.append(designProperty(pages.at(i).toObject(), "uuid").toString());
    QCOMPARE(stringList(roleRecord(device, admin.value("role").toString()).value("pageList")), ids);
    QCOMPARE(closest(readJson(dir + "/test/lumora.ds"), 16.0 / 9), QSize(1920, 1080));
    QCOMPARE(nodesOfClass(design.value("ui").toObject(), "VideoWallWidget").size(), 1);
    QVERIFY(readFile(dir + "/version.rc").contains("ProductVersion=" KORA_VERSION "\r\n"));

    const QByteArray qrc = readFile(dir + "/kora_builtin.qrc");
    for (const char *path : {"test/client0_1920_1080.jui", "test/device.json", "test/lumora.ds", "config.txt",
                             "version.rc", "image/img/block.jpg", "image/bg_main.png"}) {
        QVERIFY2(qrc.contains(QByteArray("<file>") + path + "</file>"), path);
        QVERIFY2(QFileInfo::exists(dir + "/" + path), path);
    }
}

void TestSamples::builtinResourcesAreLinked_data()
{
    QTest::addColumn<QString>("path");
    for (const char *p : {"test/client0_1920_1080.jui", "test/device.json", "test/lumora.ds", "config.txt",
                          "version.rc", "image/img/block.jpg", "image/login_bg.png", "image/icons/clear.png"})
        QTest::newRow(p) << QString(p);
}

void TestSamples::builtinResourcesAreLinked()
{
    QFETCH(QString, path);
    QFile resource(":/" + path);
    QVERIFY2(resource.open(QIODevice::ReadOnly), qPrintable(path));
    QCOMPARE(resource.readAll(), readFile(kSamples + "/builtin/" + path));
    if (path.startsWith("image/"))
        QVERIFY(!QImage(":/" + path).isNull());
}

void TestSamples::largePackage_data()
{
    QTest::addColumn<int>("pages");
    QTest::addColumn<int>("walls");
    QTest::newRow("scaled to 4 pages") << 4 << 4;
    QTest::newRow("full size") << 40 << 8;
}

void TestSamples::largePackage()
{
    QFETCH(int, pages);
    QFETCH(int, walls);
    QTemporaryDir tmp;
    QStringList args{"--large", "--out", tmp.path()};
    if (pages != 40)
        args << "--pages" << QString::number(pages);
    const Run r = generate(args);
    QCOMPARE(r.code, 0);
    checkManifest(tmp.path(), {"large.ds", "language.txt", "device.json", "client0_1920_1080.jui", "image.zip"});

    const QJsonObject design = readJson(tmp.path() + "/client0_1920_1080.jui");
    const QJsonArray all = pagesOf(design);
    QCOMPARE(all.size(), pages + 1);
    for (int i = 1; i < all.size(); ++i)
        QCOMPARE(all.at(i).toObject().value("item").toArray().size(), 60);
    QCOMPARE(nodesOfClass(design.value("ui").toObject(), "VideoWallWidget").size(), walls);

    const QJsonObject device = readJson(tmp.path() + "/device.json");
    QSet<QString> panels;
    for (const QJsonValue &o : devicesOfKind(device, "output"))
        if (o.toObject().value("Panel").toString() != "-1")
            panels.insert(o.toObject().value("Panel").toString());
    QCOMPARE(panels.size(), walls);
    for (const Account &a : accounts())
        if (a.package == "lab")
            QCOMPARE(userRecord(device, a.user).value("passwd").toString().toLatin1(),
                     kora::encipherForStorage(a.password.toLatin1()).toBase64());

    qint64 total = 0;
    for (const QFileInfo &fi : QDir(tmp.path()).entryInfoList(QDir::Files))
        total += fi.size();
    if (pages == 40)
        QVERIFY2(total > 45'000'000 && total < 60'000'000, qPrintable(QString::number(total)));
    QString error;
    const QVector<ZipItem> items = readZip(readFile(tmp.path() + "/image.zip"), &error);
    QVERIFY(error.isEmpty());
    for (const ZipItem &it : items)
        QVERIFY2(it.problem.isEmpty(), qPrintable(it.name + ": " + it.problem));
}

void TestSamples::badInput_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("file");    // source file to damage in a copy of the lab sources
    QTest::addColumn<QString>("find");    // text to replace in it ("" = truncate the file)
    QTest::addColumn<QString>("replace");
    QTest::addColumn<QString>("message"); // part of the one error line

    const QString out = "OUT", src = "SRC";
    QTest::newRow("no arguments") << QStringList() << "" << "" << "" << "--source";
    QTest::newRow("unknown option") << QStringList({"--frobnicate"}) << "" << "" << "" << "unknown argument";
    QTest::newRow("missing --out") << QStringList({"--source", src}) << "" << "" << "" << "--out";
    QTest::newRow("value missing") << QStringList({"--source", src, "--out"}) << "" << "" << "" << "needs a value";
    QTest::newRow("both modes") << QStringList({"--large", "--source", src, "--out", out}) << "" << "" << ""
                                << "either";
    QTest::newRow("twin and large") << QStringList({"--large", "--twin", "--out", out}) << "" << "" << ""
                                    << "either";
    QTest::newRow("net too short") << QStringList({"--source", src, "--out", out, "--net", "10.77"}) << "" << ""
                                   << "" << "--net";
    QTest::newRow("net octet too large") << QStringList({"--source", src, "--out", out, "--net", "10.300.1"}) << ""
                                         << "" << "" << "--net";
    QTest::newRow("pages zero") << QStringList({"--large", "--out", out, "--pages", "0"}) << "" << "" << ""
                                << "--pages";
    QTest::newRow("pages without large") << QStringList({"--source", src, "--out", out, "--pages", "3"}) << ""
                                         << "" << "" << "--pages";
    QTest::newRow("no such source") << QStringList({"--source", "/nonexistent/samples", "--out", out}) << "" << ""
                                    << "" << "no such source folder";
    QTest::newRow("out is the source") << QStringList({"--source", src, "--out", src}) << "" << "" << ""
                                       << "source folder";
    QTest::newRow("out is a file") << QStringList({"--source", src, "--out", "OUTFILE"}) << "" << "" << ""
                                   << "cannot";
    const QStringList normal{"--source", src, "--out", out};
    QTest::newRow("truncated JSON") << normal << "device.json" << "" << "" << "device.json:";
    QTest::newRow("unknown placeholder") << normal << "device.json" << "{{NET}}.20(0)" << "{{HOST}}.20(0)"
                                         << "unknown placeholder";
    QTest::newRow("text GBK cannot hold") << normal << "language.txt" << "Quit=退出" << "Quit=\U0001F600"
                                          << "GBK";
    QTest::newRow("not UTF-8") << normal << "language.txt" << "Quit=退出" << "Quit=<byte ff>" << "UTF-8";
    QTest::newRow("unknown role") << normal << "device.json" << "\"role\": \"operator\"}"
                                  << "\"role\": \"viewer\"}" << "unknown role";
    QTest::newRow("password not Latin-1") << normal << "device.json" << "\"op2024\"" << "\"口令\""
                                          << "Latin-1";
    QTest::newRow("role with unknown page") << normal << "device.json" << "\"page-wall-a\", \"page-room\""
                                            << "\"page-wall-a\", \"page-lobby\"" << "page-lobby";
    QTest::newRow("group names unknown signal") << normal << "device.json" << "[\"{{NET}}.42(0)\""
                                                << "[\"{{NET}}.49(0)\"" << "no signal";
    QTest::newRow("wall cell without output") << normal << "client0_1920_1080.jui" << "\"{{NET}}.27\""
                                              << "\"{{NET}}.29\"" << "decoder";
    QTest::newRow("picture missing") << normal << "client0_1920_1080.jui" << "./image/logo.png"
                                     << "./image/logo2.png" << "logo2.png";
    QTest::newRow("login item missing") << normal << "client0_1920_1080.jui" << "\"QuitBtn\"" << "\"ExitBtn\""
                                        << "QuitBtn";
    QTest::newRow("unknown drawing") << normal << "package.json" << "\"draw\": \"frame\"" << "\"draw\": \"fresco\""
                                     << "fresco";
    QTest::newRow("descriptor file name") << normal << "northgate.ds" << "\"client0_1280_1024.jui\""
                                          << "\"client0_1280.jui\"" << "should be named";
}

void TestSamples::badInput()
{
    QFETCH(QStringList, args);
    QFETCH(QString, file);
    QFETCH(QString, find);
    QFETCH(QString, replace);
    QFETCH(QString, message);
    QTemporaryDir tmp;
    const QString src = tmp.path() + "/src";
    QVERIFY(copyTree(kSources + "/lab", src));
    writeFile(tmp.path() + "/outfile", "x");
    if (!file.isEmpty()) {
        QByteArray bytes = readFile(src + "/" + file);
        QVERIFY(!bytes.isEmpty());
        if (find.isEmpty()) {
            bytes.truncate(bytes.size() / 2);
        } else {
            QVERIFY2(bytes.contains(find.toUtf8()), qPrintable(find));
            // "<byte ff>" stands for that raw byte, which no UTF-8 text contains.
            bytes.replace(find.toUtf8(), replace.toUtf8().replace("<byte ff>", "\xff"));
        }
        QFile::remove(src + "/" + file);
        writeFile(src + "/" + file, bytes);
    }
    for (QString &a : args) {
        if (a == "SRC")
            a = src;
        else if (a == "OUT")
            a = tmp.path() + "/out";
        else if (a == "OUTFILE")
            a = tmp.path() + "/outfile";
    }
    const Run r = generate(args);
    QVERIFY(!r.crashed);
    QVERIFY(r.code != 0);
    const QList<QByteArray> lines = r.err.trimmed().split('\n');
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().startsWith("kora-samplegen: "), r.err.constData());
    QVERIFY2(QString::fromUtf8(lines.first()).contains(message), r.err.constData());
}

QTEST_GUILESS_MAIN(TestSamples)
#include "tst_samples.moc"
