#include "upload/background.h"

#include "log/categories.h"
#include "log/trace.h"
#include "upload/uploader.h"

#include <QBuffer>

namespace kora::upload {

QList<BackgroundPiece> cutBackground(const QImage &picture, const QSize &wallSize, const QStringList &outputs,
                                     const QList<QRect> &rects)
{
    const QImage scaled = picture.isNull() || wallSize.isEmpty()
                              ? QImage()
                              : picture.scaled(wallSize, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    QList<BackgroundPiece> pieces;
    for (int i = 0; i < outputs.size() && i < rects.size(); ++i) {
        if (outputs.at(i).isEmpty() || rects.at(i).isEmpty())
            continue;
        BackgroundPiece piece{backgroundTarget(outputs.at(i)), rects.at(i).size(), QByteArray()};
        if (!scaled.isNull()) {
            QBuffer buffer(&piece.jpeg);
            buffer.open(QIODevice::WriteOnly);
            scaled.copy(rects.at(i)).save(&buffer, "JPG");
        }
        pieces.append(piece);
    }
    return pieces;
}

BackgroundUpload::BackgroundUpload(UploadThread &uploads, QObject *parent)
    : QObject(parent)
    , m_uploads(uploads)
{
    connect(&m_uploads, &UploadThread::fileSent, this, [this](int job, int index, int count) {
        if (m_pending.contains(job))
            emit progress(index + 1, count);
    });
    connect(&m_uploads, &UploadThread::finished, this, [this](int job, bool ok, const QString &reason) {
        if (!m_pending.contains(job))
            return; // another concern's upload
        const QString wallId = m_pending.take(job);
        if (!ok) {
            KWARN(lcApi) << "background for wall" << wallId << "not sent whole:" << reason;
            emit notSent(reason);
        }
    });
}

BackgroundUpload::~BackgroundUpload()
{
    for (QThread *cut : qAsConst(m_cuts)) {
        cut->wait();
        delete cut;
    }
}

void BackgroundUpload::startFromFile(const QString &wallId, const QString &file, const QSize &wallSize,
                                     const QStringList &outputs, const QList<QRect> &rects)
{
    QThread *cut = QThread::create([this, wallId, file, wallSize, outputs, rects] {
        const QImage picture(file);
        KTRACE(lcApi) << "background picture" << file << picture.size();
        const QList<BackgroundPiece> pieces = cutBackground(picture, wallSize, outputs, rects);
        // Dropped with this object's pending events if it is destroyed first.
        QMetaObject::invokeMethod(this, [this, wallId, pieces] { start(wallId, pieces); }, Qt::QueuedConnection);
    });
    cut->setObjectName(QStringLiteral("background cut"));
    m_cuts.append(cut);
    connect(cut, &QThread::finished, this, [this, cut] {
        m_cuts.removeOne(cut);
        cut->deleteLater();
    });
    cut->start();
}

QList<Job> BackgroundUpload::jobs(const QString &wallId, const QList<BackgroundPiece> &pieces)
{
    QList<Job> files;
    for (const BackgroundPiece &piece : pieces) {
        Job job = Job::unicast(wallId, piece.target.address, piece.target.fileName, piece.jpeg);
        job.then = baseMapRequest(piece.target, piece.size);
        files.append(job);
    }
    return files;
}

void BackgroundUpload::start(const QString &wallId, const QList<BackgroundPiece> &pieces)
{
    KTRACE(lcApi) << "background for wall" << wallId << "in" << pieces.size() << "pieces";
    if (pieces.isEmpty())
        return;
    m_pending.insert(m_uploads.upload(jobs(wallId, pieces)), wallId);
}

} // namespace kora::upload
