// kora-lab: the simulated installation. Start it on the device side of the lab network:
//   scripts/lab run --device "build/bin/kora-lab --journal /tmp/j.jsonl" -- ...
// With --command it is instead a small client of a running lab's control socket.
#include "engine.h"
#include "media/pattern.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLocalSocket>
#include <csignal>
#include <cstdlib>
#include <cstdio>

namespace {
int sendCommand(const QString &path, const QByteArray &json)
{
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(3000)) {
        std::fprintf(stderr, "kora-lab: no lab at %s: %s\n", qPrintable(path), qPrintable(socket.errorString()));
        return 2;
    }
    socket.write(json.trimmed() + '\n');
    socket.flush();
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(5000)) {
            std::fprintf(stderr, "kora-lab: no answer from the lab\n");
            return 2;
        }
    }
    const QByteArray answer = socket.readLine();
    std::fwrite(answer.constData(), 1, size_t(answer.size()), stdout);
    return QJsonDocument::fromJson(answer).object().value(QStringLiteral("ok")).toBool() ? 0 : 1;
}

// The journal is unbuffered, so nothing is lost by ending at once; _Exit is safe here.
void quitOnSignal(int)
{
    std::_Exit(0);
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulated installation for the KORA client"));
    parser.addHelpOption();
    const QCommandLineOption configOption(QStringLiteral("config"), QStringLiteral("Installation file (JSON)."), QStringLiteral("file"));
    const QCommandLineOption projectOption(QStringLiteral("project"), QStringLiteral("Package folder served by the host node."), QStringLiteral("dir"));
    const QCommandLineOption legacyOption(QStringLiteral("legacy"), QStringLiteral("Play an older controller: serve the legacy sample package (pic.dat, config_host.cfg) unless --project is given."));
    const QCommandLineOption netOption(QStringLiteral("net"), QStringLiteral("First three octets of the device side, e.g. 10.77.1."), QStringLiteral("prefix"));
    const QCommandLineOption journalOption(QStringLiteral("journal"), QStringLiteral("Journal file, - for standard output."), QStringLiteral("file"), QStringLiteral("-"));
    const QCommandLineOption limitOption(QStringLiteral("journal-limit"), QStringLiteral("Payload bytes kept per journal line."), QStringLiteral("bytes"), QStringLiteral("512"));
    const QCommandLineOption controlOption(QStringLiteral("control"), QStringLiteral("Control socket path."), QStringLiteral("path"));
    const QCommandLineOption faultsOption(QStringLiteral("faults"), QStringLiteral("Fault plan (JSON)."), QStringLiteral("json"));
    const QCommandLineOption controllerOption(QStringLiteral("controller"), QStringLiteral("Also play the central controller on 41235."));
    const QCommandLineOption readyOption(QStringLiteral("ready-file"), QStringLiteral("Written once every peer is bound."), QStringLiteral("file"));
    const QCommandLineOption framesOption(QStringLiteral("journal-frames"), QStringLiteral("Journal one event per stream frame sent."));
    const QCommandLineOption commandOption(QStringLiteral("command"), QStringLiteral("Send one control command (JSON) to --control and print the answer."), QStringLiteral("json"));
    const QCommandLineOption colourOption(QStringLiteral("signal-colour"), QStringLiteral("Print the colour of the signal on this host (#rrggbb) and exit."), QStringLiteral("host"));
    parser.addOptions({configOption, projectOption, legacyOption, netOption, journalOption, limitOption, controlOption,
                       faultsOption, controllerOption, readyOption, framesOption, commandOption, colourOption});
    parser.process(app);

    // Screenshot checks in scripts compare pixels with the colour a signal's pictures carry.
    if (parser.isSet(colourOption)) {
        std::printf("%s\n", qPrintable(lab::signalColour(parser.value(colourOption).toInt()).name()));
        return 0;
    }

    if (parser.isSet(commandOption)) {
        if (!parser.isSet(controlOption)) {
            std::fprintf(stderr, "kora-lab: --command needs --control\n");
            return 2;
        }
        return sendCommand(parser.value(controlOption), parser.value(commandOption).toUtf8());
    }

    lab::LabConfig config;
    QString error;
    if (parser.isSet(configOption)) {
        QFile file(parser.value(configOption));
        QJsonParseError parseError{};
        const QJsonDocument doc = file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll(), &parseError) : QJsonDocument();
        if (!doc.isObject() || !lab::LabConfig::fromJson(doc.object(), config, &error)) {
            std::fprintf(stderr, "kora-lab: bad installation file %s: %s\n", qPrintable(file.fileName()),
                         qPrintable(error.isEmpty() ? parseError.errorString() : error));
            return 2;
        }
    }
    if (parser.isSet(projectOption))
        config.projectDir = parser.value(projectOption);
    if (config.projectDir.isEmpty()) {
        // The build tree keeps the sample packages beside bin/, the Debian package under share/.
        const QString sample = parser.isSet(legacyOption) ? QStringLiteral("legacy") : QStringLiteral("lab");
        const QString bin = QCoreApplication::applicationDirPath();
        config.projectDir = bin + QStringLiteral("/../samples/") + sample;
        const QString installed = bin + QStringLiteral("/../share/kora-lab/samples/") + sample;
        if (!QDir(config.projectDir).exists() && QDir(installed).exists())
            config.projectDir = installed;
    }
    if (parser.isSet(netOption))
        config.net = parser.value(netOption);
    if (config.net.isEmpty())
        config.net = lab::detectNet();
    if (config.net.isEmpty()) {
        std::fprintf(stderr, "kora-lab: no IPv4 network here; start it in the lab's device namespace or pass --net\n");
        return 2;
    }
    if (parser.isSet(controllerOption))
        config.controllerEnabled = true;
    if (parser.isSet(framesOption))
        config.journalFrames = true;

    bool limitOk = false;
    const int limit = parser.value(limitOption).toInt(&limitOk);
    lab::Journal journal(parser.value(journalOption), limitOk ? limit : 512);
    lab::Engine engine(config, journal);
    if (parser.isSet(faultsOption)) {
        const QJsonDocument doc = QJsonDocument::fromJson(parser.value(faultsOption).toUtf8());
        if (!doc.isObject() || !lab::FaultPlan::fromJson(doc.object(), engine.faults(), &error)) {
            std::fprintf(stderr, "kora-lab: bad fault plan: %s\n", qPrintable(error));
            return 2;
        }
    }
    if (!engine.start(&error)) {
        std::fprintf(stderr, "kora-lab: %s\n", qPrintable(error));
        return 1;
    }
    if (parser.isSet(controlOption) && !engine.listenControl(parser.value(controlOption), &error)) {
        std::fprintf(stderr, "kora-lab: %s\n", qPrintable(error));
        return 1;
    }
    if (parser.isSet(readyOption)) {
        QFile ready(parser.value(readyOption));
        if (ready.open(QIODevice::WriteOnly | QIODevice::Truncate))
            ready.write(config.net.toLatin1() + '\n');
    }
    std::signal(SIGTERM, quitOnSignal);
    std::signal(SIGINT, quitOnSignal);
    return app.exec();
}
