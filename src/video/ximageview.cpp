#include "video/ximageview.h"

XImageView::XImageView(QQuickItem *parent)
    : QQuickItem(parent)
{
}
