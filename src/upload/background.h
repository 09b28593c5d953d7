#pragma once
// Wall background pictures: the chosen picture stretched over the wall, cut into one piece
// per output, each uploaded to its output and then set as the output's base map. A wall's
// pieces are one job of the uploader, which sends each output's base map right after its
// piece and before the next output's upload; the window stays responsive and the progress
// moves as each output is done.
//
// Threads: main thread, except the loading and cutting of a chosen file, which runs in a
// short-lived "background cut" thread (a large picture takes longer than a frame); the
// pieces and the uploads report back queued.
#include "upload/uploadprotocol.h"

#include <QImage>
#include <QMap>
#include <QObject>
#include <QRect>
#include <QStringList>
#include <QThread>

namespace kora::upload {

class UploadThread;
struct Job;

struct BackgroundPiece {
    BackgroundTarget target;
    QSize size;      // the output's rectangle
    QByteArray jpeg; // empty when the picture did not load: the commands still go out
};

// The picture stretched to `wallSize` (its aspect ratio ignored), cut at each output's
// rectangle and encoded as JPEG. Outputs and rectangles pair by position; an output without
// an address or a rectangle is left out.
QList<BackgroundPiece> cutBackground(const QImage &picture, const QSize &wallSize, const QStringList &outputs,
                                     const QList<QRect> &rects);

class BackgroundUpload : public QObject
{
    Q_OBJECT
public:
    explicit BackgroundUpload(UploadThread &uploads, QObject *parent = nullptr);
    // Waits for cuts still under way.
    ~BackgroundUpload() override;

    // Uploads every piece in turn, as one job. A background still under way for another
    // wall goes on first.
    void start(const QString &wallId, const QList<BackgroundPiece> &pieces);
    // The uploader's job of each piece: the file, and the base map after it.
    static QList<Job> jobs(const QString &wallId, const QList<BackgroundPiece> &pieces);
    // Loads `file` and cuts it for the wall in a thread of its own, then start()s the pieces.
    void startFromFile(const QString &wallId, const QString &file, const QSize &wallSize, const QStringList &outputs,
                       const QList<QRect> &rects);

signals:
    // After each output's upload and base-map request (or its refusal); `total` outputs of
    // that wall.
    void progress(int current, int total);
    // Pieces that did not go out, and why: the queue was full or outputs had no address.
    void notSent(const QString &why);

private:
    UploadThread &m_uploads;
    QMap<int, QString> m_pending; // wall id by upload job
    QList<QThread *> m_cuts;      // under way; each deletes itself once its pieces are handed over
};

} // namespace kora::upload
