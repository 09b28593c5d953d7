#include "download/fragments.h"

#include <QtEndian>

namespace kora::download {

FragmentAssembler::Result FragmentAssembler::add(const QByteArray &datagram)
{
    if (datagram.size() < 8)
        return Result::Malformed;
    const quint32 total = qFromLittleEndian<quint32>(datagram.constData());
    const quint32 sequence = qFromLittleEndian<quint32>(datagram.constData() + 4);
    if (total == 0 || total > kMaxFragments)
        return Result::TooLarge;
    if (m_total == 0) {
        m_total = total;
        m_payloads.resize(int(total));
        m_have = QBitArray(int(total));
    } else if (total != m_total) {
        return Result::OtherTotal;
    }
    if (sequence >= m_total)
        return Result::OutOfRange;
    if (m_have.testBit(int(sequence)))
        return Result::Duplicate;

    const int size = datagram.size() - 8;
    const bool last = sequence == m_total - 1;
    // Every fragment but the last has the same size; the last is no larger.
    if (!last) {
        if (m_payloadSize < 0)
            m_payloadSize = size;
        else if (size != m_payloadSize)
            return Result::WrongSize;
    } else if (m_payloadSize >= 0 && size > m_payloadSize) {
        return Result::WrongSize;
    }
    if (m_bytes + size > kMaxFileBytes)
        return Result::TooLarge;
    m_payloads[int(sequence)] = datagram.mid(8);
    m_have.setBit(int(sequence));
    m_bytes += size;
    ++m_held;
    return Result::Stored;
}

QByteArray FragmentAssembler::missingList() const
{
    QByteArray list;
    for (quint32 n = 0; n < m_total; ++n) {
        if (!m_have.testBit(int(n))) {
            if (!list.isEmpty())
                list += ',';
            list += QByteArray::number(n);
        }
    }
    return list;
}

QByteArray FragmentAssembler::take()
{
    if (!isComplete())
        return QByteArray();
    QByteArray file;
    file.reserve(int(qMin<qint64>(m_bytes, kMaxFileBytes)));
    for (const QByteArray &payload : qAsConst(m_payloads))
        file += payload;
    clear();
    return file;
}

void FragmentAssembler::clear()
{
    m_total = 0;
    m_held = 0;
    m_payloadSize = -1;
    m_bytes = 0;
    m_payloads.clear();
    m_have.clear();
}

QString FragmentAssembler::describe(Result result)
{
    switch (result) {
    case Result::Stored: return QStringLiteral("stored");
    case Result::Duplicate: return QStringLiteral("duplicate fragment");
    case Result::Malformed: return QStringLiteral("datagram shorter than its header");
    case Result::OutOfRange: return QStringLiteral("sequence number beyond the total");
    case Result::OtherTotal: return QStringLiteral("total differs from the file in progress");
    case Result::WrongSize: return QStringLiteral("payload size disagrees with the other fragments");
    case Result::TooLarge: return QStringLiteral("file larger than the download accepts");
    }
    return QString();
}

} // namespace kora::download
