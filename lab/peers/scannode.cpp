#include "peers/scannode.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QtEndian>

namespace lab {

bool loadPackage(const QString &dir, QList<PackageFile> &files, QString *error)
{
    files.clear();
    QDir folder(dir);
    if (dir.isEmpty() || !folder.exists()) {
        if (error)
            *error = QStringLiteral("no project folder %1").arg(dir);
        return false;
    }
    QStringList names;
    QFile manifest(folder.filePath(QStringLiteral("files.txt")));
    if (manifest.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : manifest.readAll().split('\n')) {
            const QByteArray name = line.trimmed().split(' ').value(0);
            if (!name.isEmpty())
                names.append(QString::fromUtf8(name));
        }
    } else {
        names = folder.entryList(QDir::Files, QDir::Name);
    }
    for (const QString &name : names) {
        QFile file(folder.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) {
            if (error)
                *error = QStringLiteral("cannot read %1").arg(file.fileName());
            return false;
        }
        PackageFile entry;
        entry.name = name;
        entry.bytes = file.readAll();
        entry.md5 = QString::fromLatin1(QCryptographicHash::hash(entry.bytes, QCryptographicHash::Md5).toHex());
        files.append(entry);
    }
    return true;
}

QByteArray composeScanReply(const QString &hostTag, const QString &project, const QList<PackageFile> &files,
                            const FaultPlan &faults)
{
    // Fields 2 and 3 are not read by clients but must not be empty: empty fields are
    // skipped when the reply is split, which would shift the project into their place.
    QByteArray reply = "{GetNodes2;" + hostTag.toLatin1() + ";KORA-LAB;1.0;";
    if (files.isEmpty())
        return reply + "null}";
    for (const PackageFile &f : files) {
        // An older controller's package: the older reply, whose project mark changes with it.
        if (f.name == QLatin1String("config_host.cfg"))
            return "{GetNodes;" + hostTag.toLatin1() + ";1," + f.md5.left(8).toLatin1() + '}';
    }
    QStringList list;
    for (const PackageFile &f : files) {
        QString md5 = f.md5;
        if (faults.corruptMd5 == QLatin1String("*") || faults.corruptMd5 == f.name)
            md5 = QString(md5.size(), md5.startsWith(QLatin1Char('0')) ? QLatin1Char('f') : QLatin1Char('0'));
        list.append(f.name + QLatin1Char(' ') + md5);
    }
    return reply + project.toLatin1() + ';' + list.join(QLatin1Char(',')).toUtf8() + '}';
}

QByteArray composeFragment(quint32 total, quint32 sequence, const QByteArray &payload)
{
    QByteArray datagram(8, '\0');
    qToLittleEndian<quint32>(total, datagram.data());
    qToLittleEndian<quint32>(sequence, datagram.data() + 4);
    return datagram + payload;
}

ScanNodePeer::ScanNodePeer(const QString &name, const QHostAddress &address, const QString &hostTag,
                           const QString &project, QList<PackageFile> files, int fragmentSize,
                           const FaultPlan &faults)
    : m_name(name)
    , m_address(address)
    , m_hostTag(hostTag)
    , m_project(project)
    , m_files(std::move(files))
    , m_fragmentSize(qMax(1, fragmentSize))
    , m_faults(faults)
{
}

QList<Endpoint> ScanNodePeer::groups() const
{
    return {{QHostAddress(QStringLiteral("224.168.1.1")), 41234}, {QHostAddress::Broadcast, 41234}};
}

QList<Outgoing> ScanNodePeer::handle(const Datagram &in)
{
    const QByteArray &d = in.data;
    if (d.size() < 2 || d.front() != '{' || d.back() != '}')
        return {};
    const QStringList fields = QString::fromUtf8(d.mid(1, d.size() - 2)).split(QLatin1Char(';'));
    const QString command = fields.value(0);
    if (command == QLatin1String("GetNodes2")) {
        // A node without a project answers a few milliseconds later, so the host is the first node
        // a client lists, as the outputs of the device file list it.
        const int delay = m_files.isEmpty() ? 5 : 0;
        return {{composeScanReply(m_hostTag, m_project, m_files, m_faults), in.sender, in.senderPort, 0, delay}};
    }
    if (command == QLatin1String("DownloadFile") && !m_files.isEmpty())
        return serve(fields, in.sender);
    if (m_statusStore && (command == QLatin1String("SetStatus") || command == QLatin1String("SaveClientInfo")
                          || command == QLatin1String("GetClientInfo")))
        return m_statusStore(in);
    return {};
}

QList<Outgoing> ScanNodePeer::serve(const QStringList &fields, const QHostAddress &sender)
{
    // {DownloadFile;tag;name;client,port,7000,1000[;missing,...]}
    if (fields.size() < 4 || fields.size() > 5)
        return {};
    const PackageFile *file = nullptr;
    for (const PackageFile &f : m_files) {
        if (f.name == fields.at(2))
            file = &f;
    }
    const QStringList target = fields.at(3).split(QLatin1Char(','));
    const QHostAddress client(target.value(0));
    bool portOk = false;
    const uint port = target.value(1).toUInt(&portOk);
    if (!file || client.isNull() || !portOk || port == 0 || port > 65535)
        return {};
    Q_UNUSED(sender)

    const quint32 total = quint32(qMax(1, (file->bytes.size() + m_fragmentSize - 1) / m_fragmentSize));
    QVector<quint32> order;
    if (fields.size() == 5) {
        QSet<quint32> seen;
        for (const QString &n : fields.at(4).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            bool ok = false;
            const uint sequence = n.toUInt(&ok);
            if (ok && sequence < total && !seen.contains(sequence)) {
                seen.insert(sequence);
                order.append(sequence);
            }
        }
    } else {
        if (m_sendsGeneration != m_faults.generation) {
            m_sendsGeneration = m_faults.generation;
            m_sends.clear();
        }
        order = firstSendOrder(m_faults, file->name, total, m_sends[file->name]++);
    }
    QList<Outgoing> out;
    out.reserve(order.size());
    for (quint32 sequence : order) {
        const QByteArray payload = file->bytes.mid(int(sequence) * m_fragmentSize, m_fragmentSize);
        out.append({composeFragment(total, sequence, payload), client, quint16(port), 0, 0, true});
    }
    return out;
}

} // namespace lab
