// Local settings, starred signals, translations and the cache.
#include "controller/imserverapi.h"

#include "catalogue/catalogue.h"
#include "log/categories.h"
#include "log/trace.h"
#include "settings/signalstars.h"

#include <QDir>
#include <QMessageBox>
#include <QTextCodec>

void ImServerApi::LoadConfig()
{
    kora::loadControlSettings(settingsPath(), m_settings);
}

void ImServerApi::SaveConfig()
{
    if (!kora::saveControlSettings(settingsPath(), m_settings))
        KWARN(lcSettings) << "cannot write" << settingsPath();
}

void ImServerApi::SaveSignalConfig()
{
    if (!kora::saveStarredAddresses(signalSettingsPath(), kora::catalogue::starredAddresses(m_signals)))
        KWARN(lcSettings) << "cannot write" << signalSettingsPath();
}

void ImServerApi::LoadSignalConfig()
{
    const QStringList starred = kora::loadStarredAddresses(signalSettingsPath());
    for (const QString &ip : starred) {
        const int index = kora::catalogue::signalIndexOf(m_signals, ip);
        if (index >= 0) {
            m_signals[size_t(index)].star = true;
            KTRACE(lcSettings) << ip;
        }
    }
}

QString ImServerApi::language(const QString &str) const
{
    return kora::translate(m_translations, str);
}

QString ImServerApi::toImagePath(const QString &str) const
{
    return str.isEmpty() ? QString() : QStringLiteral("file:") + str;
}

QString ImServerApi::codec2String(const QByteArray &bytes) const
{
    return m_gbk ? m_gbk->toUnicode(bytes) : QString::fromLatin1(bytes);
}

bool ImServerApi::clearCache()
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Clear cache"),
                    QStringLiteral("Do you want to clear cache?"),
                    QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    if (box.exec() != QMessageBox::Yes)
        return false;
    for (const QString &path : {m_dataDir, m_logDir, m_imageDir}) {
        QDir dir(path);
        if (dir.exists() && !dir.removeRecursively())
            KWARN(lcSettings) << "cannot remove" << path;
    }
    return true;
}
