#pragma once
// The host's side of a login without a network: the scan answered from a package folder's file
// list, each DownloadFile request with that file, whole.
#include "login/session.h"
#include "support/recordingsender.h"

#include <QCryptographicHash>
#include <QFile>

struct PackageHost {
    QString dir;     // the package: its files and "files.txt" (name and MD5 per line)
    QString address; // where the host answers from
    int seen = 0;    // requests looked at so far

    static QByteArray md5(const QByteArray &data) { return QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex(); }
    QByteArray file(const QString &name) const
    {
        QFile f(dir + QLatin1Char('/') + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // "{GetNodes2;1;x;y;project;name md5,...}"
    QByteArray scanReply() const { return "{GetNodes2;1;x;y;project;" + file(QStringLiteral("files.txt")).trimmed().replace('\n', ',') + '}'; }
    // The names asked for since the last call, each answered at once.
    QStringList serve(RecordingSender &sender, kora::login::Session &session)
    {
        QStringList names;
        while (seen < sender.sent.size()) {
            const QString line = sender.sent.at(seen++);
            if (!line.startsWith(QLatin1String("{DownloadFile;")))
                continue;
            names.append(line.section(QLatin1Char(';'), 2, 2));
            const QByteArray data = file(names.last());
            session.fileArrived(data, true, md5(data));
        }
        return names;
    }
};
