// "image.zip" arrives from the network: the input is the archive file. It is unpacked with
// small limits into a scratch folder of the working directory, which is removed afterwards.
#include "archive/zipreader.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <cstdlib>

namespace {

const QString &scratch()
{
    static const QString path = QDir::current().absoluteFilePath(QStringLiteral("fuzz-scratch"));
    return path;
}

void quiet(QtMsgType, const QMessageLogContext &, const QString &)
{
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(quiet); // one warning per bad input would drown the run
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace kora::archive;
    QDir(scratch()).removeRecursively();
    if (!QDir().mkpath(scratch()))
        std::abort();
    const QString zip = scratch() + QStringLiteral("/in.zip");
    {
        QFile file(zip);
        if (!file.open(QIODevice::WriteOnly) || file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
            std::abort();
    }
    UnpackLimits limits;
    limits.maxTotalBytes = 1 << 20;
    limits.ratioFloorBytes = 1 << 20;
    limits.maxEntries = 256;

    {
        ZipReader reader;
        reader.setLimits(limits);
        if (reader.open(zip) == ZipReader::Ok) {
            for (int i = 0; i < reader.count(); ++i) {
                ZipItem item;
                if (reader.item(i, &item) != ZipReader::Ok || item.index != i)
                    std::abort();
                const QString clean = ZipReader::cleanName(item.name);
                if (clean.startsWith(QLatin1Char('/')) || clean.split(QLatin1Char('/')).contains(QStringLiteral("..")))
                    std::abort();
            }
        }
    }

    const QString out = scratch() + QStringLiteral("/out");
    const UnpackResult result = unpackArchive(zip, out, limits);

    // Only the input and, on success, the output folder; nothing temporary, nothing else.
    const QStringList left = QDir(scratch()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    const QStringList expected = result.ok ? QStringList{QStringLiteral("in.zip"), QStringLiteral("out")} : QStringList{QStringLiteral("in.zip")};
    if (left != expected)
        std::abort();
    if (result.ok) {
        if (result.bytes > limits.maxTotalBytes)
            std::abort();
        qint64 onDisk = 0;
        QDirIterator it(out, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            const QFileInfo info = it.fileInfo();
            if (info.isSymLink())
                std::abort();
            if (info.isFile())
                onDisk += info.size();
        }
        if (onDisk > result.bytes) // a later entry of the same name replaces an earlier one
            std::abort();
    }
    QDir(scratch()).removeRecursively();
    return 0;
}
