#pragma once
// Wall background pictures: the chosen picture stretched over the wall, cut into one piece
// per output, each uploaded to its output and then set as the output's base map. The
// uploads are paced by the uploader's thread; the window stays responsive and the progress
// moves as each output is done.
//
// Threads: main thread, except the loading and cutting of a chosen file, which runs in a
// short-lived "background cut" thread (a large picture takes longer than a frame); the
// pieces and the uploads report back queued.
#include "link/sender.h"
#include "upload/uploadprotocol.h"

#include <QImage>
#include <QMap>
#include <QObject>
#include <QRect>
#include <QStringList>
#include <QThread>

namespace kora::upload {

class UploadThread;

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
    BackgroundUpload(link::Sender &sender, UploadThread &uploads, QObject *parent = nullptr);
    // Waits for cuts still under way.
    ~BackgroundUpload() override;

    // Uploads every piece in turn. A background still under way for another wall goes on;
    // its pieces and these share the uploader's queue.
    void start(const QString &wallId, const QList<BackgroundPiece> &pieces);
    // Loads `file` and cuts it for the wall in a thread of its own, then start()s the pieces.
    void startFromFile(const QString &wallId, const QString &file, const QSize &wallSize, const QStringList &outputs,
                       const QList<QRect> &rects);

signals:
    // After each output's upload and base-map request; `total` outputs of that wall.
    void progress(int current, int total);

private:
    struct Pending {
        BackgroundPiece piece;
        int index = 0;
        int total = 0;
    };
    link::Sender &m_sender;
    UploadThread &m_uploads;
    QMap<int, Pending> m_pending; // by upload job
    QList<QThread *> m_cuts;      // under way; each deletes itself once its pieces are handed over
};

} // namespace kora::upload
