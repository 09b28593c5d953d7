// kora-grab OUT.png [--check-not-blank] [--pixel X Y]
// Saves the whole screen of $DISPLAY. With --check-not-blank it exits 1 when the picture
// is (nearly) one colour; --pixel prints the colour at X,Y as #rrggbb.
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QSet>
#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: kora-grab OUT.png [--check-not-blank] [--pixel X Y]\n");
        return 2;
    }
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen) {
        std::fprintf(stderr, "kora-grab: no screen\n");
        return 2;
    }
    const QImage image = screen->grabWindow(0).toImage();
    if (image.isNull() || !image.save(args.at(1))) {
        std::fprintf(stderr, "kora-grab: cannot grab or save %s\n", qPrintable(args.at(1)));
        return 2;
    }
    std::printf("saved %s (%dx%d)\n", qPrintable(args.at(1)), image.width(), image.height());

    const int pixelAt = args.indexOf(QStringLiteral("--pixel"));
    if (pixelAt > 0 && pixelAt + 2 < args.size()) {
        const QColor c = image.pixelColor(args.at(pixelAt + 1).toInt(), args.at(pixelAt + 2).toInt());
        std::printf("%s\n", qPrintable(c.name()));
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
