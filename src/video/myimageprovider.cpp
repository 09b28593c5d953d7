#include "video/myimageprovider.h"

#include "log/categories.h"
#include "log/trace.h"

#include <QDir>

ImageId parseImageId(const QString &id)
{
    ImageId r;
    const int colon = id.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return r;
    r.type = id.left(colon);
    const QString rest = id.mid(colon + 1);
    r.key = rest.section(QLatin1Char('/'), 0, 0);
    const int slash = rest.lastIndexOf(QLatin1Char('/'));
    r.path = slash < 0 ? rest : rest.left(slash);
    return r;
}

MyImageProvider::MyImageProvider(std::shared_ptr<kora::video::PreviewTable> table)
    : QQuickImageProvider(QQuickImageProvider::Image)
    , m_table(std::move(table))
    , m_placeholder(QStringLiteral(":/image/img/block.jpg"))
{
    if (m_placeholder.isNull()) {
        // The built-in sample carries the placeholder; without it a dark tile still says "no picture".
        m_placeholder = QImage(64, 36, QImage::Format_RGB32);
        m_placeholder.fill(QColor(0x2b, 0x34, 0x40));
    }
}

QImage MyImageProvider::requestImage(const QString &id, QSize *size, const QSize &)
{
    const ImageId parsed = parseImageId(id);
    QImage result;
    if (parsed.type == QLatin1String("ip")) {
        result = m_table ? m_table->request(parsed.key) : QImage();
        if (result.isNull())
            result = m_placeholder;
    } else if (parsed.type == QLatin1String("pic")) {
        // Stored pictures named "./image/..." live in the user's documents.
        QString path = parsed.path;
        path.replace(QLatin1String("./image"), QDir::homePath() + QStringLiteral("/Documents/image"));
        result.load(path);
        KTRACE(lcVideo) << "pic" << !result.isNull() << path;
        if (result.isNull())
            result = m_placeholder;
    }
    if (size)
        *size = result.size();
    return result;
}
