#include "video/snapshotview.h"

using kora::video::PreviewTable;

SnapshotBoard::SnapshotBoard()
{
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &SnapshotBoard::tick);
    m_placeholder = QImage(QStringLiteral(":/image/img/block.jpg"));
    if (m_placeholder.isNull()) {
        // The built-in sample carries the placeholder; without it a dark tile still says "no picture".
        m_placeholder = QImage(64, 36, QImage::Format_RGB32);
        m_placeholder.fill(QColor(0x2b, 0x34, 0x40));
    }
}

SnapshotBoard &SnapshotBoard::instance()
{
    static SnapshotBoard *board = new SnapshotBoard; // lives as long as the process
    return *board;
}

void SnapshotBoard::setTable(std::shared_ptr<PreviewTable> table)
{
    m_table = std::move(table);
    for (Signal &s : m_views)
        s.version = ~quint64(0);
}

void SnapshotBoard::show(SnapshotView *view)
{
    Signal &s = m_views[view->ip()];
    if (!s.views.contains(view))
        s.views.append(view);
    // A new tile shows what its signal's other tiles show, at once.
    if (s.version != ~quint64(0))
        s.version = ~quint64(0);
    if (!m_timer.isActive())
        m_timer.start();
    tick();
}

void SnapshotBoard::hide(SnapshotView *view)
{
    auto it = m_views.find(view->ip());
    if (it == m_views.end())
        return;
    it->views.removeOne(view);
    if (it->views.isEmpty())
        m_views.erase(it);
    if (m_views.isEmpty())
        m_timer.stop();
}

QStringList SnapshotBoard::wanted() const
{
    QStringList ids = m_views.keys();
    ids.sort();
    return ids;
}

void SnapshotBoard::tick()
{
    for (auto it = m_views.begin(); it != m_views.end(); ++it) {
        Signal &s = *it;
        QSize largest;
        for (const SnapshotView *v : qAsConst(s.views))
            largest = largest.expandedTo(v->pixelSize());
        quint64 version = 0;
        const QImage picture = m_table ? m_table->request(it.key(), &version, largest) : QImage();
        if (version == s.version)
            continue;
        s.version = version;
        const QImage &shown = picture.isNull() ? m_placeholder : picture;
        for (SnapshotView *v : qAsConst(s.views))
            v->present(shown);
    }
}

SnapshotView::SnapshotView(QQuickItem *parent)
    : VideoFrameItem(parent)
{
}

SnapshotView::~SnapshotView()
{
    if (m_onBoard)
        SnapshotBoard::instance().hide(this);
}

void SnapshotView::setIp(const QString &ip)
{
    if (ip == m_ip)
        return;
    if (m_onBoard) {
        SnapshotBoard::instance().hide(this);
        m_onBoard = false;
    }
    m_ip = ip;
    if (ip.isEmpty())
        present(QImage()); // an empty cell shows nothing
    emit ipChanged();
    follow();
}

void SnapshotView::itemChange(ItemChange change, const ItemChangeData &value)
{
    VideoFrameItem::itemChange(change, value);
    if (change == ItemVisibleHasChanged || change == ItemSceneChange)
        follow();
}

void SnapshotView::follow()
{
    const bool want = !m_ip.isEmpty() && isVisible() && window();
    if (want == m_onBoard)
        return;
    m_onBoard = want;
    if (want)
        SnapshotBoard::instance().show(this);
    else
        SnapshotBoard::instance().hide(this);
}
