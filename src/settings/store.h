#pragma once
// The client's local files under one root (the working folder): "data/" (control.ini,
// signal.ini and the cached package), "image/" (the project's pictures) and "log/".
// Belongs to the thread that owns it (the main thread).
#include "settings/controlsettings.h"

#include <QString>
#include <QStringList>

namespace kora::settings {

class Store
{
public:
    // Creates the three folders when they are missing.
    explicit Store(const QString &root);

    QString dataDir() const { return m_dataDir; }
    QString imageDir() const { return m_imageDir; }
    QString logDir() const { return m_logDir; }
    QString dataFile(const QString &name) const { return m_dataDir + QLatin1Char('/') + name; }

    // The settings in use: read by load(), written by save().
    ControlSettings values;

    // control.ini onto `values`, and the MD5 of the cached "pic.dat" (of no bytes without one).
    void load();
    // Rewrites control.ini; false, with a log line, when it cannot.
    bool save() const;
    // The signals the operator starred, by address ("signal.ini").
    QStringList starred() const;
    bool saveStarred(const QStringList &addresses) const;
    // Removes the three folders with everything in them; false, with a log line per folder,
    // when one stays.
    bool clear() const;

private:
    QString m_dataDir;
    QString m_imageDir;
    QString m_logDir;
};

} // namespace kora::settings
