#pragma once
// "image://myprovider/..." for the pages. Until the snapshot readers exist every request
// gets an empty image of the requested size, so pages load without errors.
#include <QQuickImageProvider>

class MyImageProvider : public QQuickImageProvider
{
public:
    MyImageProvider();
    QImage requestImage(const QString &id, QSize *size, const QSize &requestedSize) override;
};
