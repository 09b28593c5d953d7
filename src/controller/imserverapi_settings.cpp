// Local settings, starred signals, translations and the cache.
#include "controller/imserverapi.h"

#include "catalogue/catalogue.h"
#include "log/categories.h"
#include "log/trace.h"

#include <QMessageBox>
#include <QTextCodec>

void ImServerApi::SaveConfig()
{
    m_store.save();
}

void ImServerApi::SaveSignalConfig()
{
    m_store.saveStarred(kora::catalogue::starredAddresses(m_model.signalList));
}

void ImServerApi::LoadSignalConfig()
{
    for (const QString &ip : m_store.starred()) {
        const int index = kora::catalogue::signalIndexOf(m_model.signalList, ip);
        if (index >= 0) {
            m_model.signalList[size_t(index)].star = true;
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
    return m_store.clear();
}
