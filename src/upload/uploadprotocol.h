#pragma once
// Pushing a small file to the display side: an upload command on the command port names the
// file, then the file follows in numbered chunks on port 5000. Nothing is acknowledged; each
// chunk goes out twice instead. Pure functions of the bytes on the wire, and of the wall
// background pictures that use the same push.
#include <QByteArray>
#include <QSize>
#include <QString>

namespace kora::upload {

constexpr int kChunkBytes = 7000;
constexpr int kHeaderBytes = 8; // chunk count and chunk index, 32-bit little-endian each
constexpr quint16 kDataPort = 5000;

// ceil(size / 7000); an empty file has no chunk.
quint32 chunkCount(qint64 size);
// The data datagram of chunk `index`: the chunk count, the index, then up to 7000 bytes of
// the file from index × 7000. Empty when the index lies beyond the last chunk.
QByteArray dataDatagram(const QByteArray &file, quint32 index);

// {UploadFile;W;name;0.0.0.0,5000,7008}: sent to the receiver itself.
QByteArray uploadCommand(const QString &wallId, const QString &fileName);
// {UploadFile;W;name;224.168.1.1,5000,7008}: sent to the wall group, the chunks too.
QByteArray multicastUploadCommand(const QString &wallId, const QString &fileName);

// Where one output of a wall gets its background: an output text is the decoder's address,
// with "(0)" or "(1)" after it for its first or second channel.
struct BackgroundTarget {
    QString address;
    QString function; // "setBaseMap" or "setBaseMap2"
    QString fileName; // "bk.jpg" or "bk2.jpg"
    bool operator==(const BackgroundTarget &o) const
    {
        return address == o.address && function == o.function && fileName == o.fileName;
    }
};
BackgroundTarget backgroundTarget(const QString &outputText);

// The node envelope that tells an output to show the uploaded picture over its whole
// rectangle of `size` (compact JSON, to the output's command port).
QByteArray baseMapRequest(const BackgroundTarget &target, const QSize &size);

} // namespace kora::upload
