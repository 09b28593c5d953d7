#include "download/fragments.h"

#include <QtEndian>
#include <cstring>

namespace kora::download {

FragmentAssembler::Result FragmentAssembler::add(const char *datagram, int size)
{
    if (size < 8)
        return Result::Malformed;
    const quint32 total = qFromLittleEndian<quint32>(datagram);
    const quint32 sequence = qFromLittleEndian<quint32>(datagram + 4);
    if (total == 0 || total > kMaxFragments)
        return Result::TooLarge;
    if (m_total == 0) {
        m_total = total;
        m_have = QBitArray(int(total));
    } else if (total != m_total) {
        return Result::OtherTotal;
    }
    if (sequence >= m_total)
        return Result::OutOfRange;
    if (m_have.testBit(int(sequence))) {
        m_inOrder = false;
        return Result::Duplicate;
    }

    const char *data = datagram + 8;
    const int length = size - 8;
    const bool last = sequence == m_total - 1;
    // Every fragment but the last has the same size; the last is no larger.
    if (!last) {
        if (m_payloadSize < 0) {
            // The first middle fragment fixes the size of the whole file.
            if (m_haveLast && m_last.size() > length)
                return Result::WrongSize;
            if (qint64(m_total) * length > kMaxFileBytes)
                return Result::TooLarge;
            m_payloadSize = length;
            m_buffer.reserve(int(qint64(m_total) * length));
            m_buffer.resize(int(qint64(m_total - 1) * length));
        } else if (length != m_payloadSize) {
            return Result::WrongSize;
        }
        std::memcpy(m_buffer.data() + qint64(sequence) * m_payloadSize, data, size_t(length));
    } else {
        if (m_payloadSize >= 0 && length > m_payloadSize)
            return Result::WrongSize;
        if (length > kMaxFileBytes)
            return Result::TooLarge;
        m_last = QByteArray(data, length);
        m_haveLast = true;
    }
    m_have.setBit(int(sequence));
    ++m_held;
    m_inOrder = m_inOrder && sequence == m_next;
    m_ascending = m_ascending && sequence + 1 >= m_next; // gaps allowed, steps back not
    m_next = sequence + 1;
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
    QByteArray file = std::move(m_buffer);
    file.append(m_last); // within the reserved capacity: no copy of the whole file
    clear();
    return file;
}

void FragmentAssembler::clear()
{
    m_total = 0;
    m_held = 0;
    m_payloadSize = -1;
    m_buffer = QByteArray();
    m_last = QByteArray();
    m_haveLast = false;
    m_have.clear();
    m_next = 0;
    m_inOrder = true;
    m_ascending = true;
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
