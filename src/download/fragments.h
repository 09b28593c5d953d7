#pragma once
// Puts a file together from the fragment datagrams of the project download: 4 bytes total,
// 4 bytes sequence number (both little-endian), then the payload. The datagrams come from
// the network, so everything is checked and memory stays bounded; both checks per fragment
// are O(1).
#include <QBitArray>
#include <QByteArray>
#include <QString>
#include <QVector>

namespace kora::download {

constexpr qint64 kMaxFileBytes = 512LL * 1024 * 1024;
constexpr quint32 kMaxFragments = 1u << 20;

class FragmentAssembler
{
public:
    enum class Result { Stored, Duplicate, Malformed, OutOfRange, OtherTotal, WrongSize, TooLarge };

    Result add(const QByteArray &datagram);
    bool isComplete() const { return m_total > 0 && m_held == m_total; }
    quint32 total() const { return m_total; }
    quint32 held() const { return m_held; }
    float progress() const { return m_total ? float(m_held) / float(m_total) : 0.0f; }
    // "3,7,8": the sequence numbers still missing, ascending.
    QByteArray missingList() const;
    // The file, in sequence order; clears the assembler. Empty unless complete.
    QByteArray take();
    void clear();

    static QString describe(Result result);

private:
    quint32 m_total = 0;
    quint32 m_held = 0;
    int m_payloadSize = -1; // of every fragment but the last
    qint64 m_bytes = 0;
    QVector<QByteArray> m_payloads;
    QBitArray m_have;
};

} // namespace kora::download
