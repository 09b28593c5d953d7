// kora-grab OUT.png [--from IN.png] [--check-not-blank] [--pixel X Y] [--expect X Y #rrggbb TOL]
// kora-grab --watch X Y W H MS
// Saves the whole screen of $DISPLAY (OUT "-": not saved). --from reads IN.png instead of the
// screen. With --check-not-blank it exits 1 when the picture is (nearly) one colour; --pixel
// prints the colour at X,Y as #rrggbb; --expect exits 1 unless every channel of the colour at
// X,Y is within TOL of the one given. --watch grabs the rectangle as often as it can for MS
// milliseconds (a grab about every 25 ms) and prints a line per grab: milliseconds since the
// start, a hash of the rectangle's pixels (it changes when the picture there does), the colour
// at its middle column, 36 % of its height down, and the time of day in milliseconds (to set
// beside a log).
#include <QColor>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QSet>
#include <QThread>
#include <QTime>
#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: kora-grab OUT.png [--check-not-blank] [--pixel X Y]\n");
        return 2;
    }
    const int watchAt = args.indexOf(QStringLiteral("--watch"));
    if (watchAt > 0 && watchAt + 5 < args.size()) {
        QScreen *screen = QGuiApplication::primaryScreen();
        if (!screen)
            return 2;
        const int x = args.at(watchAt + 1).toInt(), y = args.at(watchAt + 2).toInt();
        const int w = args.at(watchAt + 3).toInt(), h = args.at(watchAt + 4).toInt();
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < args.at(watchAt + 5).toInt()) {
            const QImage part = screen->grabWindow(0, x, y, w, h).toImage().convertToFormat(QImage::Format_RGB32);
            const QByteArray bytes(reinterpret_cast<const char *>(part.constBits()), int(part.sizeInBytes()));
            std::printf("%lld %s %s %d\n", static_cast<long long>(t.elapsed()),
                        QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex().left(12).constData(),
                        qPrintable(part.pixelColor(w / 2, h * 36 / 100).name()), QTime::currentTime().msecsSinceStartOfDay());
            QThread::msleep(25); // a grab every frame or so; faster would take the screen from the client
        }
        return 0;
    }
    QImage image;
    const int fromAt = args.indexOf(QStringLiteral("--from"));
    if (fromAt > 0 && fromAt + 1 < args.size()) {
        image.load(args.at(fromAt + 1));
    } else if (QScreen *screen = QGuiApplication::primaryScreen()) {
        image = screen->grabWindow(0).toImage();
    } else {
        std::fprintf(stderr, "kora-grab: no screen\n");
        return 2;
    }
    if (image.isNull() || (args.at(1) != QLatin1String("-") && !image.save(args.at(1)))) {
        std::fprintf(stderr, "kora-grab: cannot grab or save %s\n", qPrintable(args.at(1)));
        return 2;
    }
    std::printf("saved %s (%dx%d)\n", qPrintable(args.at(1)), image.width(), image.height());

    const int pixelAt = args.indexOf(QStringLiteral("--pixel"));
    if (pixelAt > 0 && pixelAt + 2 < args.size()) {
        const QColor c = image.pixelColor(args.at(pixelAt + 1).toInt(), args.at(pixelAt + 2).toInt());
        std::printf("%s\n", qPrintable(c.name()));
    }
    const int expectAt = args.indexOf(QStringLiteral("--expect"));
    if (expectAt > 0 && expectAt + 4 < args.size()) {
        const QColor seen = image.pixelColor(args.at(expectAt + 1).toInt(), args.at(expectAt + 2).toInt());
        const QColor wanted(args.at(expectAt + 3));
        const int tolerance = args.at(expectAt + 4).toInt();
        const bool near = qAbs(seen.red() - wanted.red()) <= tolerance && qAbs(seen.green() - wanted.green()) <= tolerance
                          && qAbs(seen.blue() - wanted.blue()) <= tolerance;
        std::printf("at %s,%s: %s, expected %s\n", qPrintable(args.at(expectAt + 1)), qPrintable(args.at(expectAt + 2)),
                    qPrintable(seen.name()), qPrintable(wanted.name()));
        if (!near)
            return 1;
    }
    if (args.contains(QStringLiteral("--check-not-blank"))) {
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 4)
            for (int x = 0; x < image.width(); x += 4)
                colours.insert(image.pixel(x, y));
        std::printf("distinct colours: %d\n", int(colours.size()));
        if (colours.size() < 16) {
            std::fprintf(stderr, "kora-grab: the screen is blank\n");
            return 1;
        }
    }
    return 0;
}
