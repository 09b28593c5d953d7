#pragma once
// Snapshot streams: JPEG pictures an encoder cuts into datagrams, and how the signals of a
// device file map onto those streams. Pure functions and a small reassembler, no sockets.
//
// Snapshot datagram: byte 0 = fragments of the picture, byte 4 = index of this fragment
// (0 first), bytes 8.. = the next piece of the JPEG file; other bytes are not read.
#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVector>

namespace kora::video {

constexpr int kSnapshotHeader = 8;
constexpr int kMosaicSlots = 9;
constexpr int kMaxSnapshotBytes = 8 * 1024 * 1024; // far above any snapshot; bounds a hostile stream

// Joins a snapshot picture's pieces by their index, so pieces that arrive out of order or
// twice still make the picture. The first piece once later ones arrived, a piece at an index
// already taken with other bytes, or a piece of another count starts the next picture (the
// one under way is lost: its missing pieces will not come any more). Consecutive pictures
// share many pieces byte for byte, so the next picture is never mended with the last one's.
class SnapshotAssembler
{
public:
    enum class Result { Partial, Complete, Broken, Malformed };
    // Feeds one datagram; on Complete `picture()` holds the whole JPEG file until the next push.
    Result push(const QByteArray &datagram);
    const QByteArray &picture() const { return m_complete; }
    void reset();

private:
    QVector<QByteArray> m_pieces; // by index; null: not arrived
    int m_have = 0;               // pieces arrived
    int m_bytes = 0;
    int m_previous = -1;          // the index of the last datagram pushed
    QByteArray m_complete;
};

// The rectangles of a mosaic picture's cells, cell i at index i. Layout 4 is a 2 x 2 grid and
// layout 9 a 3 x 3 grid; fewer cells than the grid holds make the cells larger. Any other
// layout, or no cells, cuts nothing.
QVector<QRect> mosaicCells(const QSize &picture, int cellCount, int layout);

// How a JPEG is sized while it is decoded (the JPEG decoder does most of the scaling for
// free): Fit shrinks it to fit within the target, keeping its aspect ratio (snapshots);
// Preview takes the target itself when that is well below the picture (a live view
// stretches its pictures over the item anyway).
enum class JpegScale { Fit, Preview };

// Decodes a JPEG held in memory into RGB32. The header is read first: pictures over `limit`
// (either side) are refused before any pixel is allocated. A null image on failure, with the
// reason in `error`. A file with a good header whose data turns out wrong or cut short (a
// piece lost or swapped on the way) is refused too ("damaged: ..."), not shown garbled.
QImage decodeJpeg(const QByteArray &jpeg, const QSize &target = QSize(), JpegScale scale = JpegScale::Fit,
                  QString *error = nullptr, const QSize &limit = QSize(8192, 8192));

// What a signal's snapshot address says: "udp://group:port", optionally "?pos=n" for slot n
// of a stream shared by several signals, or an RTSP URL.
struct SnapshotAddress {
    bool valid = false;
    QString group;   // UDP: the multicast group; RTSP: the text the port was not taken from
    quint16 port = 0;
    int slot = -1;   // -1: a stream of its own
    QString rtspUrl; // non-empty: read the pictures from this RTSP URL
};
SnapshotAddress parseSnapshotAddress(const QString &url);

// "group:port" as the controller's catalogue replies give it.
SnapshotAddress parseSnapUrl(const QString &text);

// One reader's work: the stream and the preview records it fills.
struct SnapshotStream {
    QString key;       // the stream's own record (the first signal on it)
    QString node;      // where registrations go: the key up to the first "-", or "transimit"
    QString group;
    quint16 port = 0;
    QString rtspUrl;
    QStringList cells; // mosaic: nine record keys, "" for a free slot; empty: no mosaic
};

struct SignalSnapshot {
    QString id;
    QString url;
};

// The streams of a device file's signals: each signal with its own address gets a stream;
// signals naming slots of one shared address share one stream whose first signal owns it.
// Signals without a usable address get none (they keep the placeholder).
QList<SnapshotStream> planSnapshotStreams(const QList<SignalSnapshot> &signalList);

// The registration that asks an encoder for its snapshot stream: "udp://node:port/s".
QByteArray snapshotRegistration(const QString &node, quint16 port);

} // namespace kora::video
