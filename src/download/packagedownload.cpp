#include "download/packagedownload.h"

#include "download/udpthread.h"
#include "link/messages.h"
#include "link/scanreply.h"
#include "log/categories.h"
#include "log/trace.h"
#include "platform/files.h"

#include <QTextCodec>
#include <algorithm>

namespace kora::download {

QByteArray fileRequest(const Source &source, const QString &name, const QByteArray &missing)
{
    const QString target = QStringLiteral("%1,%2,7000,1000").arg(source.localIp).arg(UDPThread::kPort);
    if (missing.isEmpty())
        return link::textCommand(QStringLiteral("DownloadFile"), {source.hostTag, name, target},
                                 QTextCodec::codecForLocale());
    QByteArray numbers = missing;
    if (numbers.size() > PackageDownload::kMaxMissingBytes)
        numbers.truncate(numbers.lastIndexOf(',', PackageDownload::kMaxMissingBytes));
    return link::textCommand(QStringLiteral("DownloadFile"),
                             {source.hostTag, name, target, QString::fromLatin1(numbers)},
                             QTextCodec::codecForName("UTF-8"));
}

PackageDownload::PackageDownload(link::Sender &sender, std::function<Source()> source, QString dataDir, QObject *parent)
    : QObject(parent)
    , m_sender(sender)
    , m_source(std::move(source))
    , m_dataDir(std::move(dataDir))
{
}

void PackageDownload::setListed(const QList<FileEntry> &files)
{
    m_form = PackageForm::Listed;
    m_files.clear();
    for (FileEntry f : files) {
        f.upToDate = platform::fileMd5(m_dataDir + QLatin1Char('/') + f.name) == f.md5;
        f.attempts = 0;
        m_files.append(f);
    }
}

void PackageDownload::startOlder(bool withPictures)
{
    m_form = withPictures ? PackageForm::OlderPictures : PackageForm::OlderConfig;
    request(withPictures ? QStringLiteral("pic.dat") : QStringLiteral("config_host.cfg"));
}

bool PackageDownload::requestNext()
{
    for (const FileEntry &f : qAsConst(m_files)) {
        if (!f.upToDate)
            return request(f.name);
    }
    return false;
}

bool PackageDownload::request(const QString &name)
{
    if (!send(name, true))
        return false;
    m_currentFile = name;
    return true;
}

// A file whose every fragment was lost leaves the receiver nothing to report gaps for, and a
// lost gap request leaves it waiting; so a request that nothing answers asks for the whole
// file again (the fragments held stay). The login flow bounds the repeats; its watchdog ends
// the login if they stay unanswered.
void PackageDownload::repeat()
{
    KWARN(lcDownload) << "no fragment of" << m_currentFile << "within" << UDPThread::kSilenceMs << "ms; asking again";
    send(m_currentFile, false);
}

bool PackageDownload::send(const QString &name, bool newFile, const QByteArray &missing)
{
    const Source source = m_source();
    if (source.hostAddress.isEmpty())
        return false;
    emit expecting(QHostAddress(source.hostAddress), newFile);
    m_sender.sendUdp(fileRequest(source, name, missing), source.hostAddress, link::kCommandPort);
    emit requested(newFile);
    KINFO(lcDownload) << "DownloadFile" << name << source.hostAddress << (missing.isEmpty() ? "" : "(gaps)");
    return true;
}

void PackageDownload::fileArrived(const QByteArray &data, bool complete, const QByteArray &md5)
{
    const QString name = m_form == PackageForm::OlderPictures ? QStringLiteral("pic.dat")
                         : m_form == PackageForm::OlderConfig ? QStringLiteral("config_host.cfg")
                                                              : m_currentFile;
    KTRACE(lcDownload) << name << (complete ? "arrived," : "has gaps;") << data.size() << "bytes";
    if (!complete) {
        // The missing fragments are asked for again; the watchdog keeps running from the last
        // progress, so a host that falls silent now still ends the login.
        if (!send(name, false, data))
            emit failed(QStringLiteral("gaps in %1, and no host to ask").arg(name));
        return;
    }
    // Each way on below asks for the next file (the watchdog restarts), hands the package
    // over or fails.
    switch (m_form) {
    case PackageForm::OlderPictures:
        m_form = PackageForm::OlderConfig;
        store(name, data);
        emit olderPictures(data);
        request(QStringLiteral("config_host.cfg"));
        return;
    case PackageForm::OlderConfig:
        if (data.size() > 4)
            emit olderConfig(data);
        else
            emit failed(QStringLiteral("config_host.cfg of %1 bytes").arg(data.size()));
        return;
    case PackageForm::Listed:
        listedFileArrived(name, data, md5);
        return;
    }
}

void PackageDownload::listedFileArrived(const QString &name, const QByteArray &data, const QByteArray &md5)
{
    auto entry = std::find_if(m_files.begin(), m_files.end(), [&name](const FileEntry &f) { return f.name == name; });
    if (entry == m_files.end()) {
        emit failed(QStringLiteral("a file arrived for %1, which the host does not list").arg(name));
        return;
    }
    if (QString::fromLatin1(md5) != entry->md5) {
        // The cached copy stays as it was: a damaged transfer never replaces a good file.
        // One more try, in case a straggler of the previous file got in; then the page is
        // told, instead of waiting for a login that cannot go on.
        KWARN(lcDownload) << name << "md5 error" << md5 << entry->md5 << "attempt" << entry->attempts + 1;
        if (++entry->attempts < 2)
            request(name);
        else
            emit failed(QStringLiteral("%1 failed its check twice").arg(name));
        return;
    }
    entry->upToDate = true;
    // The next file's burst is received by the receiver thread while this one is written;
    // the package is handed over only when everything is on disk.
    const bool more = requestNext();
    if (!store(name, data)) {
        m_files[int(entry - m_files.begin())].upToDate = false;
        emit failed(QStringLiteral("%1 cannot be stored").arg(name));
        return;
    }
    if (!more)
        emit complete();
}

bool PackageDownload::store(const QString &name, const QByteArray &data)
{
    if (!link::isSafeFileName(name)) {
        KWARN(lcDownload) << "refused to store" << name;
        return false;
    }
    QString error;
    if (!platform::replaceFileContent(m_dataDir + QLatin1Char('/') + name, data, &error)) {
        KWARN(lcDownload) << "cannot store" << name << error;
        return false;
    }
    KINFO(lcDownload) << name << "stored," << data.size() << "bytes";
    return true;
}

} // namespace kora::download
