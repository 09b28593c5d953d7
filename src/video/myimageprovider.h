#pragma once
// "image://myprovider/<type>:<key>/<suffix>" for the pages:
//  - "ip:<signal id>/<n>": the signal's newest snapshot; every request marks the signal as
//    wanted, which keeps its reader delivering. The placeholder while the signal has no
//    picture or has delivered nothing for three seconds.
//  - "pic:<path>/<n>": a stored picture file.
// The suffix only defeats caching. Called by the QML engine's image loading.
#include "video/previewtable.h"

#include <QQuickImageProvider>
#include <memory>

struct ImageId {
    QString type; // text before the first ":"; empty when there is none
    QString key;  // "ip": between the first ":" and the first "/"
    QString path; // "pic": between the first ":" and the last "/" (or the end)
};
ImageId parseImageId(const QString &id);

class MyImageProvider : public QQuickImageProvider
{
public:
    explicit MyImageProvider(std::shared_ptr<kora::video::PreviewTable> table);
    QImage requestImage(const QString &id, QSize *size, const QSize &requestedSize) override;
    const QImage &placeholder() const { return m_placeholder; }

private:
    std::shared_ptr<kora::video::PreviewTable> m_table;
    QImage m_placeholder;
};
