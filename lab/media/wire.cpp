#include "media/wire.h"

#include <QRegularExpression>

namespace lab {

bool parseRegistration(const QByteArray &text, Registration *out)
{
    // Written the one way the encoders write it: no leading zeros, nothing around it.
    static const QRegularExpression pattern(QStringLiteral(
        "^udp://(0|[1-9]\\d{0,2})\\.(0|[1-9]\\d{0,2})\\.(0|[1-9]\\d{0,2})\\.(0|[1-9]\\d{0,2}):([1-9]\\d{0,4})/([vs])\\z"));
    if (text.size() > 64)
        return false;
    const QRegularExpressionMatch m = pattern.match(QString::fromLatin1(text.constData(), text.size()));
    if (!m.hasMatch())
        return false;
    quint32 address = 0;
    for (int i = 1; i <= 4; ++i) {
        const int octet = m.captured(i).toInt();
        if (octet > 255)
            return false;
        address = address << 8 | quint32(octet);
    }
    const int port = m.captured(5).toInt();
    if (port < 1 || port > 65535)
        return false;
    out->address = QHostAddress(address);
    out->port = quint16(port);
    out->snapshot = m.captured(6) == QLatin1String("s");
    return true;
}

QByteArray composeRegistration(const Registration &r)
{
    return "udp://" + r.address.toString().toLatin1() + ':' + QByteArray::number(r.port) + (r.snapshot ? "/s" : "/v");
}

int fragmentPayload(int frameSize, int preferred, int header)
{
    const int largest = kMaxDatagram - header;
    int payload = qBound(1, preferred, largest);
    if (frameSize > payload * kMaxFragments)
        payload = (frameSize + kMaxFragments - 1) / kMaxFragments;
    return payload <= largest ? payload : 0;
}

QList<QByteArray> previewDatagrams(const QByteArray &frame, quint8 sequence, quint8 flags, int preferredPayload)
{
    const int payload = fragmentPayload(frame.size(), preferredPayload, kPreviewHeader);
    if (payload == 0)
        return {};
    const int count = qMax(1, (frame.size() + payload - 1) / payload);
    QList<QByteArray> out;
    out.reserve(count);
    for (int i = 0; i < count; ++i) {
        const QByteArray piece = frame.mid(i * payload, payload);
        QByteArray d(kPreviewHeader + piece.size(), '\0');
        d[2] = char(sequence);
        d[3] = char(count);
        d[8] = char(flags);
        d[15] = 'V';
        std::copy(piece.cbegin(), piece.cend(), d.begin() + kPreviewHeader);
        out.append(d);
    }
    return out;
}

QList<QByteArray> snapshotDatagrams(const QByteArray &picture, int preferredPayload)
{
    const int payload = fragmentPayload(picture.size(), preferredPayload, kSnapshotHeader);
    if (payload == 0)
        return {};
    const int count = qMax(1, (picture.size() + payload - 1) / payload);
    QList<QByteArray> out;
    out.reserve(count);
    for (int i = 0; i < count; ++i) {
        const QByteArray piece = picture.mid(i * payload, payload);
        QByteArray d(kSnapshotHeader + piece.size(), '\0');
        d[0] = char(count);
        d[4] = char(i);
        std::copy(piece.cbegin(), piece.cend(), d.begin() + kSnapshotHeader);
        out.append(d);
    }
    return out;
}

bool PreviewAssembler::add(const QByteArray &d, Frame *out)
{
    if (d.size() < kPreviewHeader || d[15] != 'V' || quint8(d[3]) == 0) {
        ++m_malformed;
        return false;
    }
    const quint8 sequence = quint8(d[2]);
    const int count = quint8(d[3]);
    if (m_count > 0 && (sequence != m_frame.sequence || count != m_count)) {
        ++m_incomplete;
        m_count = 0;
    }
    if (m_count == 0) {
        m_frame = Frame{QByteArray(), sequence, quint8(d[8])};
        m_count = count;
        m_pieces = 0;
    }
    m_frame.data.append(d.constData() + kPreviewHeader, d.size() - kPreviewHeader);
    if (++m_pieces < m_count)
        return false;
    *out = m_frame;
    m_count = 0;
    m_frame = Frame();
    return true;
}

bool SnapshotAssembler::add(const QByteArray &d, QByteArray *picture)
{
    if (d.size() < kSnapshotHeader || quint8(d[0]) == 0 || quint8(d[4]) >= quint8(d[0])) {
        ++m_malformed;
        return false;
    }
    const int count = quint8(d[0]);
    const int index = quint8(d[4]);
    if (m_count > 0 && (count != m_count || m_pieces.contains(index))) {
        ++m_incomplete;
        m_pieces.clear();
    }
    m_count = count;
    m_pieces.insert(index, d.mid(kSnapshotHeader));
    if (m_pieces.size() < m_count)
        return false;
    picture->clear();
    for (const QByteArray &piece : qAsConst(m_pieces))
        picture->append(piece);
    m_pieces.clear();
    m_count = 0;
    return true;
}

} // namespace lab
