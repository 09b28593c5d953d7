#pragma once
// Puts a file together from the fragment datagrams of the project download: 4 bytes total,
// 4 bytes sequence number (both little-endian), then the payload. The datagrams come from
// the network, so everything is checked and memory stays bounded by the announced size;
// both checks per fragment are O(1). Payloads go straight to their place in one buffer:
// taking the file copies nothing.
#include <QBitArray>
#include <QByteArray>
#include <QString>

namespace kora::download {

constexpr qint64 kMaxFileBytes = 512LL * 1024 * 1024;
constexpr quint32 kMaxFragments = 1u << 20;

class FragmentAssembler
{
public:
    enum class Result { Stored, Duplicate, Malformed, OutOfRange, OtherTotal, WrongSize, TooLarge };

    Result add(const char *datagram, int size);
    Result add(const QByteArray &datagram) { return add(datagram.constData(), datagram.size()); }
    bool isComplete() const { return m_total > 0 && m_held == m_total; }
    quint32 total() const { return m_total; }
    quint32 held() const { return m_held; }
    // False once a fragment came out of order or twice: stragglers may still be on the way.
    bool arrivedInOrder() const { return m_inOrder; }
    // The last fragment is in and every fragment came in ascending order, gaps aside: an
    // in-order burst has ended, and what is missing now was lost.
    bool burstEnded() const { return m_ascending && m_total > 0 && m_have.testBit(int(m_total - 1)); }
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
    int m_payloadSize = -1; // of every fragment but the last; -1 until one arrived
    QByteArray m_buffer;    // fragments 0 .. total-2 at sequence * m_payloadSize
    QByteArray m_last;      // the last fragment's payload
    bool m_haveLast = false;
    QBitArray m_have;
    quint32 m_next = 0;     // the sequence an in-order burst sends next
    bool m_inOrder = true;
    bool m_ascending = true;
};

} // namespace kora::download
