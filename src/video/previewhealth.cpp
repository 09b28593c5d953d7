#include "video/previewhealth.h"

namespace kora::video {

void PreviewHealth::start(const PreviewSample &s)
{
    *this = PreviewHealth();
    m_first = m_last = s;
}

void PreviewHealth::next(const PreviewSample &s)
{
    const PreviewSample was = m_last;
    m_last = s;
    const bool datagrams = s.datagrams != was.datagrams;
    const bool picture = s.shown != was.shown;
    if (datagrams)
        m_lastDatagramMs = s.atMs;
    m_pictures = m_pictures || picture;

    m_silentSeconds = -1;
    if (picture) {
        m_wait = PreviewWait::None;
    } else if (m_lastDatagramMs < 0) {
        m_wait = PreviewWait::Stream;
    } else if (s.atMs - m_lastDatagramMs >= kSilentAfterMs) {
        m_wait = PreviewWait::Silent;
        m_silentSeconds = int((s.atMs - m_lastDatagramMs) / 1000);
    } else if (datagrams && (!m_pictures || m_wait == PreviewWait::Silent || s.discarded != was.discarded
                             || s.gaps != was.gaps)) {
        // A slow stream between two pictures is not waiting: frames were held back, none
        // ever came, or the stream is only coming back.
        m_wait = PreviewWait::Keyframe;
    }

    const double seconds = qMax<qint64>(1, s.atMs - was.atMs) / 1000.0;
    const quint64 decoded = s.decoded - was.decoded;
    m_rates.received = double(decoded + (s.discarded - was.discarded)) / seconds;
    m_rates.shown = double(s.shown - was.shown) / seconds;
    m_rates.dropped = double(s.dropped - was.dropped) / seconds;
    m_rates.decodeMs = decoded > 0 ? double(s.decodeNs - was.decodeNs) / decoded / 1e6 : 0;
    m_rates.lost = s.gaps - m_first.gaps;
}

} // namespace kora::video
