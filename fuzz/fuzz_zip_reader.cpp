// "image.zip" comes from the network: unpacked with small limits, no name escapes, nothing temporary left.
#include "archive/zipreader.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {}); // one warning per bad input
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace kora::archive;
    static const QString scratch = QDir::current().absoluteFilePath(QStringLiteral("fuzz-scratch"));
    QDir(scratch).removeRecursively();
    QDir().mkpath(scratch);
    const QString zip = scratch + QStringLiteral("/in.zip");
    QFile file(zip);
    if (!file.open(QIODevice::WriteOnly) || file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
        std::abort();
    file.close();
    UnpackLimits limits;
    limits.maxTotalBytes = limits.ratioFloorBytes = 1 << 20;
    limits.maxEntries = 256;
    const UnpackResult result = unpackArchive(zip, scratch + QStringLiteral("/out"), limits);
    const QStringList left = QDir(scratch).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    if (left != (result.ok ? QStringList{QStringLiteral("in.zip"), QStringLiteral("out")} : QStringList{QStringLiteral("in.zip")}))
        std::abort();
    qint64 written = 0;
    QDirIterator it(scratch + QStringLiteral("/out"), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        if (it.fileInfo().isSymLink())
            std::abort();
        written += it.fileInfo().isFile() ? it.fileInfo().size() : 0;
    }
    if (written > limits.maxTotalBytes)
        std::abort();
    QDir(scratch).removeRecursively();
    return 0;
}
