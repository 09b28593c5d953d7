#include "video/snapshotview.h"

#include <QElapsedTimer>

using kora::video::kIdleLimit;
using kora::video::PreviewTable;

SnapshotBoard::SnapshotBoard()
    : m_now([] {
        static QElapsedTimer clock;
        if (!clock.isValid())
            clock.start();
        return clock.elapsed() + 1; // 0 stays "never"
    })
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

void SnapshotBoard::setClock(std::function<qint64()> now)
{
    m_now = std::move(now);
}

void SnapshotBoard::show(SnapshotView *view)
{
    const bool first = !m_views.contains(view->ip());
    Signal &s = m_views[view->ip()];
    if (first)
        s.since = m_now();
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
    const qint64 now = m_now();
    for (auto it = m_views.begin(); it != m_views.end(); ++it) {
        Signal &s = *it;
        QSize largest;
        for (const SnapshotView *v : qAsConst(s.views))
            largest = largest.expandedTo(v->pixelSize());
        quint64 version = 0;
        bool delivered = false;
        const QImage picture = m_table ? m_table->request(it.key(), &version, largest, &delivered) : QImage();
        if (version != 0 && version != s.version)
            s.lastPicture = now;
        tell(s, version != 0, delivered, now);
        if (version == s.version)
            continue;
        s.version = version;
        const QImage &shown = picture.isNull() ? m_placeholder : picture;
        for (SnapshotView *v : qAsConst(s.views))
            v->present(shown);
    }
}

void SnapshotBoard::tell(const Signal &s, bool live, bool delivered, qint64 now)
{
    // Counted from the last picture, or from when the tile came up when none came since:
    // a tile coming back to a signal is not told how long it looked away.
    const qint64 silent = live ? -1 : now - qMax(s.since, s.lastPicture);
    const int seconds = silent >= kIdleLimit * 1000 ? int(silent / 1000) : -1;
    for (SnapshotView *v : qAsConst(s.views))
        v->setSilence(seconds, delivered);
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
        setSilence(-1, false);
    }
    m_ip = ip;
    if (ip.isEmpty())
        present(QImage()); // an empty cell shows nothing
    emit ipChanged();
    follow();
}

void SnapshotView::setSilence(int seconds, bool delivered)
{
    if (seconds == m_silentSeconds && delivered == m_delivered)
        return;
    m_silentSeconds = seconds;
    m_delivered = delivered;
    emit silenceChanged();
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
    if (want) {
        SnapshotBoard::instance().show(this);
    } else {
        SnapshotBoard::instance().hide(this);
        setSilence(-1, false); // a hidden tile is not counting
    }
}
