#include "faults.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QRegularExpression>
#include <algorithm>
#include <random>

namespace lab {

namespace {
bool isStreamName(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^\\d{1,3}(:(main|sub|snapshot))?$"));
    return pattern.match(name).hasMatch();
}
} // namespace

bool FaultPlan::fromJson(const QJsonObject &json, FaultPlan &plan, QString *error)
{
    auto fail = [error](const QString &key) {
        if (error)
            *error = QStringLiteral("bad fault \"%1\"").arg(key);
        return false;
    };
    for (auto it = json.begin(); it != json.end(); ++it) {
        const QString key = it.key();
        const QJsonValue v = it.value();
        if (key == QLatin1String("seed")) {
            if (!v.isDouble() || v.toDouble() < 0)
                return fail(key);
            plan.seed = quint32(v.toDouble());
        } else if (key == QLatin1String("dropFragments")) {
            if (!v.isArray())
                return fail(key);
            plan.dropFragments.clear();
            for (const QJsonValue &n : v.toArray()) {
                if (!n.isDouble() || n.toDouble() < 0)
                    return fail(key);
                plan.dropFragments.insert(quint32(n.toDouble()));
            }
        } else if (key == QLatin1String("dropFraction") || key == QLatin1String("duplicateFraction")) {
            const double f = v.toDouble(-1);
            if (f < 0 || f > 1)
                return fail(key);
            (key == QLatin1String("dropFraction") ? plan.dropFraction : plan.duplicateFraction) = f;
        } else if (key == QLatin1String("streamDropFraction") || key == QLatin1String("streamDuplicateFraction")
                   || key == QLatin1String("streamGarbage")) {
            const double f = v.toDouble(-1);
            if (f < 0 || f > 1)
                return fail(key);
            (key == QLatin1String("streamDropFraction")        ? plan.streamDropFraction
             : key == QLatin1String("streamDuplicateFraction") ? plan.streamDuplicateFraction
                                                               : plan.streamGarbage) = f;
        } else if (key == QLatin1String("stopStreams")) {
            if (!v.isArray())
                return fail(key);
            plan.stopStreams.clear();
            for (const QJsonValue &n : v.toArray()) {
                if (!n.isDouble() || n.toInt() < 1 || n.toInt() > 254)
                    return fail(key);
                plan.stopStreams.insert(n.toInt());
            }
        } else if (key == QLatin1String("resolution")) {
            if (!v.isObject())
                return fail(key);
            plan.resolution.clear();
            const QJsonObject o = v.toObject();
            for (auto s = o.begin(); s != o.end(); ++s) {
                const QStringList parts = s.value().toString().split(QLatin1Char('x'));
                const int w = parts.value(0).toInt(), h = parts.value(1).toInt();
                if (!isStreamName(s.key()) || parts.size() != 2 || w < 16 || h < 16 || w > 4096 || h > 4096 || w % 2 || h % 2)
                    return fail(key);
                plan.resolution.insert(s.key(), QSize(w, h));
            }
        } else if (key == QLatin1String("codec")) {
            if (!v.isObject())
                return fail(key);
            plan.codec.clear();
            const QJsonObject o = v.toObject();
            for (auto s = o.begin(); s != o.end(); ++s) {
                const QString c = s.value().toString();
                if (!isStreamName(s.key()) || s.key().endsWith(QLatin1String(":snapshot"))
                    || (c != QLatin1String("h264") && c != QLatin1String("h265") && c != QLatin1String("jpeg")))
                    return fail(key);
                plan.codec.insert(s.key(), c);
            }
        } else if (key == QLatin1String("gop") || key == QLatin1String("streamFlood")) {
            if (!v.isObject())
                return fail(key);
            QHash<QString, int> &table = key == QLatin1String("gop") ? plan.gop : plan.streamFlood;
            table.clear();
            const QJsonObject o = v.toObject();
            for (auto s = o.begin(); s != o.end(); ++s) {
                const int n = s.value().toInt(-1);
                if (!isStreamName(s.key()) || n < 1 || n > (key == QLatin1String("gop") ? 600 : 100000))
                    return fail(key);
                table.insert(s.key(), n);
            }
        } else if (key == QLatin1String("intraRefresh") || key == QLatin1String("splitParameterSets")
                   || key == QLatin1String("hostileSps")) {
            if (!v.isArray())
                return fail(key);
            QSet<QString> &names = key == QLatin1String("intraRefresh")         ? plan.intraRefresh
                                   : key == QLatin1String("splitParameterSets") ? plan.splitParameterSets
                                                                                : plan.hostileSps;
            names.clear();
            for (const QJsonValue &n : v.toArray()) {
                if (!isStreamName(n.toString()) || n.toString().endsWith(QLatin1String(":snapshot")))
                    return fail(key);
                names.insert(n.toString());
            }
        } else if (key == QLatin1String("streamLateDuplicateFraction") || key == QLatin1String("streamStrayFraction")) {
            const double f = v.toDouble(-1);
            if (f < 0 || f > 1)
                return fail(key);
            (key == QLatin1String("streamStrayFraction") ? plan.streamStrayFraction : plan.streamLateDuplicateFraction) = f;
        } else if (key == QLatin1String("ignoreKeyframeRequests")) {
            if (!v.isArray())
                return fail(key);
            plan.ignoreKeyframeRequests.clear();
            for (const QJsonValue &n : v.toArray()) {
                if (!n.isDouble() || n.toInt() < 1 || n.toInt() > 254)
                    return fail(key);
                plan.ignoreKeyframeRequests.insert(n.toInt());
            }
        } else if (key == QLatin1String("rtspDrop")) {
            if (!v.isBool())
                return fail(key);
            plan.rtspDrop = v.toBool();
        } else if (key == QLatin1String("inDropFraction")) {
            const double f = v.toDouble(-1);
            if (f < 0 || f > 1)
                return fail(key);
            plan.inDropFraction = f;
        } else if (key == QLatin1String("inDropPorts")) {
            if (!v.isArray())
                return fail(key);
            plan.inDropPorts.clear();
            for (const QJsonValue &n : v.toArray()) {
                if (!n.isDouble() || n.toInt() < 1 || n.toInt() > 65535)
                    return fail(key);
                plan.inDropPorts.insert(quint16(n.toInt()));
            }
        } else if (key == QLatin1String("silentPeers")) {
            if (!v.isArray())
                return fail(key);
            plan.silentPeers.clear();
            for (const QJsonValue &n : v.toArray())
                plan.silentPeers.insert(n.toString());
        } else if (key == QLatin1String("reorder")) {
            if (!v.isBool())
                return fail(key);
            plan.reorder = v.toBool();
        } else if (key == QLatin1String("corruptMd5") || key == QLatin1String("stopFile")) {
            if (!v.isString())
                return fail(key);
            (key == QLatin1String("corruptMd5") ? plan.corruptMd5 : plan.stopFile) = v.toString();
        } else if (key == QLatin1String("stopAfterFragments")) {
            if (!v.isDouble() || v.toInt() < -1)
                return fail(key);
            plan.stopAfterFragments = v.toInt();
        } else if (key == QLatin1String("delayMs")) {
            if (!v.isDouble() || v.toInt() < 0 || v.toInt() > 60000)
                return fail(key);
            plan.delayMs = v.toInt();
        } else if (key == QLatin1String("malformed")) {
            const QString m = v.toString();
            if (!m.isEmpty() && m != QLatin1String("truncated") && m != QLatin1String("garbage")
                && m != QLatin1String("unbraced"))
                return fail(key);
            plan.malformed = m;
        } else {
            return fail(key);
        }
    }
    return true;
}

QJsonObject FaultPlan::toJson() const
{
    QJsonArray drops;
    QList<quint32> sorted = dropFragments.values();
    std::sort(sorted.begin(), sorted.end());
    for (quint32 n : sorted)
        drops.append(double(n));
    QJsonArray silent;
    for (const QString &name : silentPeers)
        silent.append(name);
    QJsonArray stopped;
    QList<int> hosts = stopStreams.values();
    std::sort(hosts.begin(), hosts.end());
    for (int host : hosts)
        stopped.append(host);
    QList<quint16> inPorts = inDropPorts.values();
    std::sort(inPorts.begin(), inPorts.end());
    QJsonArray inDrop;
    for (quint16 port : inPorts)
        inDrop.append(port);
    const auto names = [](const QSet<QString> &set) {
        QStringList sorted = set.values();
        sorted.sort();
        return QJsonArray::fromStringList(sorted);
    };
    const auto table = [](const QHash<QString, int> &hash) {
        QJsonObject o;
        for (auto it = hash.begin(); it != hash.end(); ++it)
            o.insert(it.key(), it.value());
        return o;
    };
    QList<int> deaf = ignoreKeyframeRequests.values();
    std::sort(deaf.begin(), deaf.end());
    QJsonArray ignoring;
    for (int host : deaf)
        ignoring.append(host);
    QJsonObject sizes, codecs;
    for (auto it = resolution.begin(); it != resolution.end(); ++it)
        sizes.insert(it.key(), QStringLiteral("%1x%2").arg(it.value().width()).arg(it.value().height()));
    for (auto it = codec.begin(); it != codec.end(); ++it)
        codecs.insert(it.key(), it.value());
    return QJsonObject{{"seed", double(seed)},
                       {"streamDropFraction", streamDropFraction},
                       {"streamDuplicateFraction", streamDuplicateFraction},
                       {"streamGarbage", streamGarbage},
                       {"stopStreams", stopped},
                       {"resolution", sizes},
                       {"codec", codecs},
                       {"rtspDrop", rtspDrop},
                       {"gop", table(gop)},
                       {"intraRefresh", names(intraRefresh)},
                       {"splitParameterSets", names(splitParameterSets)},
                       {"hostileSps", names(hostileSps)},
                       {"streamFlood", table(streamFlood)},
                       {"streamLateDuplicateFraction", streamLateDuplicateFraction},
                       {"streamStrayFraction", streamStrayFraction},
                       {"ignoreKeyframeRequests", ignoring},
                       {"silentPeers", silent},
                       {"inDropFraction", inDropFraction},
                       {"inDropPorts", inDrop},
                       {"dropFragments", drops},
                       {"dropFraction", dropFraction},
                       {"duplicateFraction", duplicateFraction},
                       {"reorder", reorder},
                       {"corruptMd5", corruptMd5},
                       {"stopFile", stopFile},
                       {"stopAfterFragments", stopAfterFragments},
                       {"delayMs", delayMs},
                       {"malformed", malformed}};
}

QVector<quint32> firstSendOrder(const FaultPlan &plan, const QString &file, quint32 total, quint32 send)
{
    // One generator per file and seed: the same faults whatever else the lab did before.
    const QByteArray digest = QCryptographicHash::hash(file.toUtf8(), QCryptographicHash::Md5);
    std::seed_seq seq{plan.seed, quint32(quint8(digest[0])) | quint32(quint8(digest[1])) << 8
                                     | quint32(quint8(digest[2])) << 16 | quint32(quint8(digest[3])) << 24,
                      send};
    std::mt19937 random(seq);
    std::uniform_real_distribution<double> unit(0.0, 1.0);

    QVector<quint32> order;
    order.reserve(int(total));
    for (quint32 n = 0; n < total; ++n) {
        const bool dropped = (send == 0 && plan.dropFragments.contains(n))
                             || (plan.dropFraction > 0 && unit(random) < plan.dropFraction);
        if (dropped)
            continue;
        order.append(n);
        if (plan.duplicateFraction > 0 && unit(random) < plan.duplicateFraction)
            order.append(n);
    }
    if (plan.reorder)
        std::shuffle(order.begin(), order.end(), random);
    const bool stops = plan.stopAfterFragments >= 0
                       && (plan.stopFile == QLatin1String("*") || plan.stopFile == file);
    if (stops && order.size() > plan.stopAfterFragments)
        order.resize(plan.stopAfterFragments);
    return order;
}

bool InboundLoss::drops(const FaultPlan &plan, quint16 port)
{
    if (plan.inDropFraction <= 0 || (!plan.inDropPorts.isEmpty() && !plan.inDropPorts.contains(port)))
        return false;
    if (m_generation != qint64(plan.generation) || m_seed != plan.seed) {
        m_generation = plan.generation;
        m_seed = plan.seed;
        m_random.seed(plan.seed);
    }
    return std::uniform_real_distribution<double>(0.0, 1.0)(m_random) < plan.inDropFraction;
}

QByteArray mangle(const FaultPlan &plan, const QByteArray &reply)
{
    if (plan.malformed == QLatin1String("truncated"))
        return reply.left(reply.size() / 2);
    if (plan.malformed == QLatin1String("unbraced"))
        return reply.mid(1, reply.size() - 2);
    if (plan.malformed == QLatin1String("garbage")) {
        std::mt19937 random(plan.seed);
        QByteArray junk(qMax(1, reply.size()), '\0');
        for (char &c : junk)
            c = char(random() & 0xff);
        return junk;
    }
    return reply;
}

} // namespace lab
