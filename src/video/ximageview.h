#pragma once
// Live preview item of a multicast stream. Registered now so pages can place it; the
// decoding behind it comes with the preview decoder.
#include <QQuickItem>

class XImageView : public QQuickItem
{
    Q_OBJECT
public:
    explicit XImageView(QQuickItem *parent = nullptr);
};
