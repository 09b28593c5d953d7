#include "package/legacyconfig.h"

#include "package/packagereaders.h"

#include <QHash>

namespace kora::package {

namespace {
// Lines of a node block: CR LF separated, without empty lines and brace lines.
QStringList nodeLines(const QString &block)
{
    QStringList lines;
    for (const QString &line : block.split(QStringLiteral("\r\n"))) {
        if (!line.isEmpty() && !line.contains(QLatin1Char('{')) && !line.contains(QLatin1Char('}')))
            lines.append(line);
    }
    return lines;
}

QStringList splitSkippingEmpty(const QString &text, QChar separator)
{
    return text.split(separator, Qt::SkipEmptyParts);
}

// "1920x1080"; invalid unless both sides are positive numbers.
QSize sizeValue(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('x'));
    bool okW = false, okH = false;
    const int w = parts.value(0).trimmed().toInt(&okW);
    const int h = parts.value(1).trimmed().toInt(&okH);
    if (parts.size() != 2 || !okW || !okH || w <= 0 || h <= 0)
        return QSize();
    return QSize(w, h);
}

void readUsers(const QString &text, LegacyConfig &config)
{
    for (const QString &block : extractNamedBlocks(text, QStringLiteral("User"))) {
        UserRecord user;
        user.name = blockValue(block, QStringLiteral("Name"));
        user.password = blockValue(block, QStringLiteral("Password"));
        RoleRecord role;
        role.name = user.name;
        role.pageList = splitSkippingEmpty(blockValue(block, QStringLiteral("PageList")), QLatin1Char('|'));
        user.role = role.name;
        user.pageIds = role.pageList;
        config.users.push_back(user);
        config.roles.push_back(role);
    }
}

void readSignals(const QString &text, LegacyConfig &config)
{
    const QStringList blocks = extractNamedBlocks(text, QStringLiteral("InNodes"));
    for (const QString &block : blocks) {
        // id, address, main stream, sub stream, snapshot "address:port"
        for (const QString &line : nodeLines(block)) {
            const QStringList f = line.split(QLatin1Char(','));
            if (f.size() < 5 || f.at(0).isEmpty())
                continue;
            SignalRecord s;
            s.ip = f.at(0);
            s.name = f.at(0);
            s.mainUrl = f.at(2);
            s.subUrl = f.at(3);
            // The device file names the same stream "udp://address:port"; the readers take that.
            s.snapshotUrl = f.at(4).isEmpty() || f.at(4).contains(QLatin1String("://")) ? f.at(4)
                                                                                       : QStringLiteral("udp://") + f.at(4);
            config.signalList.push_back(s);
        }
    }
}

void readMultiSignals(const QString &text, LegacyConfig &config, const QHash<QString, int> &signalIndex)
{
    for (const QString &block : extractNamedBlocks(text, QStringLiteral("MultiInNodes"))) {
        for (const QString &line : nodeLines(block)) {
            const QStringList fields = line.split(QLatin1Char(','));
            if (fields.size() < 2)
                continue;
            MultiSignalRecord m;
            m.name = fields.at(0);
            m.columns = fields.size() - 1;
            for (int i = 1; i < fields.size(); ++i) {
                const QStringList ids = fields.at(i).split(QLatin1Char('|'));
                m.rows = ids.size(); // the last field counts
                for (const QString &id : ids) {
                    const int n = signalIndex.value(id, -1);
                    if (n < 0) {
                        m.ids.append(QStringLiteral("0.0.0.0"));
                        m.mainUrls.append(QStringLiteral("url://"));
                        m.subUrls.append(QStringLiteral("url://"));
                    } else {
                        const SignalRecord &s = config.signalList[size_t(n)];
                        m.ids.append(s.ip);
                        m.mainUrls.append(s.mainUrl);
                        m.subUrls.append(s.subUrl);
                    }
                }
            }
            config.multiSignals.push_back(m);
        }
    }
}

void readGroups(const QString &text, LegacyConfig &config, const QHash<QString, int> &signalIndex)
{
    for (const QString &block : extractNamedBlocks(text, QStringLiteral("SignalGroup"))) {
        SignalGroupRecord g;
        g.name = blockValue(block, QStringLiteral("Name"));
        for (const QString &id : splitSkippingEmpty(blockValue(block, QStringLiteral("SignalID")), QLatin1Char(','))) {
            const int n = signalIndex.value(id.trimmed(), -1);
            if (n >= 0) {
                g.signalIndexes.append(n);
                g.members.append({n, 0});
            }
        }
        for (const QString &index : splitSkippingEmpty(blockValue(block, QStringLiteral("MultiList")), QLatin1Char(','))) {
            bool ok = false;
            const int n = index.trimmed().toInt(&ok);
            if (ok && n >= 0 && size_t(n) < config.multiSignals.size()) {
                g.multiSignalIndexes.append(n);
                g.members.append({n, 1});
            }
        }
        config.groups.push_back(g);
    }
}

// Decoders: comma-separated fields whose fifth is the decoder's address and whose first
// names its wall; a line with "0.0.0.0" there is a free slot.
void readOutputs(const QString &text, LegacyConfig &config)
{
    for (const QString &block : extractNamedBlocks(text, QStringLiteral("TransmitNodes"))) {
        for (const QString &line : nodeLines(block)) {
            const QStringList f = line.split(QLatin1Char(','));
            if (f.size() < 5 || f.at(4).isEmpty() || f.at(4) == QLatin1String("0.0.0.0"))
                continue;
            config.outputs.push_back({f.at(4), f.at(0)});
        }
    }
}

void readUi(const QString &text, LegacyConfig &config)
{
    const QStringList ui = extractNamedBlocks(text, QStringLiteral("UI"));
    if (ui.isEmpty())
        return;
    config.hasUi = true;
    config.uiText = ui.first();
    config.designSize = sizeValue(blockValue(config.uiText, QStringLiteral("UISize")));
    config.sysEn = blockValue(config.uiText, QStringLiteral("SysEn")).toInt();
    for (const QString &page : extractNamedBlocks(config.uiText, QStringLiteral("Page")))
        config.pages.push_back({blockValue(page, QStringLiteral("ID")), blockValue(page, QStringLiteral("Name")), page});
}
} // namespace

LegacyConfig parseLegacyConfig(const QString &text)
{
    LegacyConfig config;
    readUsers(text, config);
    config.encryptValue = blockValue(text, QStringLiteral("Encrypt"));
    config.encrypted = config.encryptValue == QLatin1String("1");
    const QStringList pictures = extractNamedBlocks(text, QStringLiteral("PicFiles"));
    if (!pictures.isEmpty()) {
        for (QString name : pictures.first().split(QLatin1Char('|'))) {
            name.remove(QLatin1Char('\r'));
            name.remove(QLatin1Char('\n'));
            config.pictureNames.append(name);
        }
    }
    const QStringList language = extractNamedBlocks(text, QStringLiteral("Language"));
    if (!language.isEmpty())
        config.translations = parseTranslationTable(language.first());

    readOutputs(text, config);
    readSignals(text, config);
    QHash<QString, int> signalIndex;
    for (size_t i = 0; i < config.signalList.size(); ++i)
        signalIndex.insert(config.signalList[i].ip, int(i)); // later duplicates win, as a lookup table does
    readMultiSignals(text, config, signalIndex);
    readGroups(text, config, signalIndex);
    // Older projects know no group permissions: every group may be used by every user.
    QStringList groupNames;
    for (const SignalGroupRecord &g : config.groups)
        groupNames.append(g.name);
    for (UserRecord &u : config.users)
        u.signalGroups = groupNames;
    for (RoleRecord &r : config.roles)
        r.signalGroupNames = groupNames;
    readUi(text, config);
    return config;
}

} // namespace kora::package
