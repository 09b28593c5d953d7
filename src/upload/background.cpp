#include "upload/background.h"

#include "link/messages.h"
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

BackgroundUpload::BackgroundUpload(link::Sender &sender, UploadThread &uploads, QObject *parent)
    : QObject(parent)
    , m_sender(sender)
    , m_uploads(uploads)
{
    connect(&m_uploads, &UploadThread::finished, this, [this](int job, bool ok, const QString &reason) {
        if (!m_pending.contains(job))
            return; // another concern's upload
        const Pending p = m_pending.take(job);
        if (ok)
            m_sender.sendUdp(baseMapRequest(p.piece.target, p.piece.size), p.piece.target.address, link::kCommandPort);
        else
            KWARN(lcApi) << "background for" << p.piece.target.address << "not uploaded:" << reason;
        emit progress(p.index + 1, p.total);
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

void BackgroundUpload::start(const QString &wallId, const QList<BackgroundPiece> &pieces)
{
    KTRACE(lcApi) << "background for wall" << wallId << "in" << pieces.size() << "pieces";
    for (int i = 0; i < pieces.size(); ++i) {
        const BackgroundPiece &piece = pieces.at(i);
        const int job = m_uploads.upload(Job::unicast(wallId, piece.target.address, piece.target.fileName, piece.jpeg));
        m_pending.insert(job, {piece, i, int(pieces.size())});
    }
}

} // namespace kora::upload
