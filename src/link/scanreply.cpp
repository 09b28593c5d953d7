#include "link/scanreply.h"

namespace kora::link {

bool isSafeFileName(const QString &name)
{
    if (name.isEmpty() || name.size() > 255 || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':')
            || c.unicode() == 0x7f)
            return false;
    }
    return !name.contains(QLatin1String(".."));
}

namespace {
bool isMd5(const QString &text)
{
    if (text.size() != 32)
        return false;
    for (const QChar c : text) {
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))))
            return false;
    }
    return true;
}
} // namespace

ScanReply parseScanReply(const QByteArray &datagram)
{
    ScanReply reply;
    if (datagram.size() < 2 || datagram.size() > 65507)
        return reply;
    const QString text = QString::fromLatin1(datagram.mid(1, datagram.size() - 2));
    const QStringList fields = text.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (fields.value(0) == QLatin1String("GetNodes2")) {
        reply.kind = ScanReply::Nodes2;
        reply.fieldCount = fields.size();
        reply.hostTag = fields.value(1);
        reply.project = fields.value(4);
        for (const QString &entry : fields.value(5).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const int space = entry.indexOf(QLatin1Char(' '));
            const QString name = space < 0 ? entry : entry.left(space);
            const QString md5 = space < 0 ? QString() : entry.mid(space + 1).toLower();
            if (name == QLatin1String("kvm.jui"))
                continue;
            if (!isSafeFileName(name) || !isMd5(md5) || reply.files.size() >= kMaxScanFiles) {
                ++reply.rejectedFiles;
                continue;
            }
            reply.files.append({name, md5});
        }
        return reply;
    }
    const QStringList all = text.split(QLatin1Char(';'));
    if (all.value(0) == QLatin1String("GetNodes")) {
        reply.kind = ScanReply::Nodes;
        reply.hostTag = all.value(1);
        const QStringList ab = all.value(2).split(QLatin1Char(','));
        reply.olderA = ab.value(0);
        reply.olderB = ab.value(1);
    }
    return reply;
}

bool becomesHost(const ScanReply &reply, int hostIndex, const QString &downIp, const QString &sender)
{
    return hostIndex == -1 && reply.holdsProject() && (downIp.isEmpty() || downIp == sender);
}

} // namespace kora::link
