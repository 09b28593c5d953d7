#include "video/previewgate.h"

namespace kora::video {

RecoveryGate::Step RecoveryGate::next(const AccessUnitInfo &info)
{
    if (info.keyframe || (m_state != State::Clean && info.recoveryFrames == 0 && info.slices)) {
        m_state = State::Clean;
        return {Feed::Whole, true};
    }
    switch (m_state) {
    case State::Clean:
        return {Feed::Whole, true};
    case State::Waiting:
        if (info.recoveryFrames > 0 && info.slices) {
            m_state = State::Recovering;
            m_framesLeft = info.recoveryFrames;
            return {Feed::Whole, false};
        }
        return {info.parameterSets ? Feed::ParameterSets : Feed::Skip, false};
    case State::Recovering:
        if (!info.slices)
            return {Feed::Whole, false};
        if (--m_framesLeft > 0)
            return {Feed::Whole, false};
        m_state = State::Clean;
        return {Feed::Whole, true};
    }
    return {};
}

QByteArray keyframeRequest()
{
    return QByteArrayLiteral(R"({"Type":"System","Function":"insertIDR","Value":0})");
}

qint64 KeyframeRequests::allow(const QString &encoder, qint64 nowMs)
{
    if (encoder.isEmpty())
        return -1;
    QMutexLocker lock(&m_mutex);
    auto it = m_lastMs.find(encoder);
    if (it != m_lastMs.end() && nowMs - *it < kKeyframeRequestGapMs)
        return kKeyframeRequestGapMs - (nowMs - *it);
    m_lastMs.insert(encoder, nowMs);
    return 0;
}

} // namespace kora::video
