// kora-samplegen: turns the reviewable package sources under samples/ into the files a
// controller serves (lab package) or the resource tree compiled into the client (built-in
// sample), and synthesises a large package for benchmarks. Output is deterministic: fixed
// seeds, fixed archive times and sorted JSON keys, so MD5s stay stable between builds.
#include "cipher/storagecipher.h"
#include "package/legacyconfig.h"

#include <QBuffer>
#include <QColor>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QImageWriter>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSet>
#include <QTextCodec>
#include <QVector>
#include <QtMath>

#include <zlib.h>

#include <algorithm>
#include <cstdio>

namespace {

const char kUsage[] =
    "usage: kora-samplegen --source DIR --out DIR [--net A.B.C] [--version X.Y.Z]\n"
    "       kora-samplegen --large --out DIR [--net A.B.C] [--pages N]\n"
    "       kora-samplegen --twin --out DIR [--net A.B.C] [--pages N]\n"
    "Builds a project package from the sources in DIR (see samples/README.md), a large\n"
    "synthetic package for benchmarks (40 pages of 60 widgets by default), or twin packages\n"
    "showing the same pages (3 by default): DIR/design in Design 2.0 form, DIR/legacy in\n"
    "an older controller's form.\n";

// Archive time of every entry: 2024-05-20 09:30:00 local time.
constexpr quint16 kDosTime = (9 << 11) | (30 << 5);
constexpr quint16 kDosDate = ((2024 - 1980) << 9) | (5 << 5) | 20;

// Small deterministic generator; the pictures must not depend on the platform's random source.
class Rng {
public:
    explicit Rng(quint32 seed) : m_state(seed ? seed : 0x9e3779b9u) {}
    quint32 next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }
    int below(int n) { return int(next() % quint32(n)); }

private:
    quint32 m_state;
};

QString md5Hex(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

QJsonObject prop(const QString &name, const QJsonValue &value)
{
    return QJsonObject{{"name", name}, {"value", value}};
}

QJsonObject rectValue(int x, int y, int w, int h)
{
    return QJsonObject{{"x", x}, {"y", y}, {"width", w}, {"height", h}};
}

// ---------------------------------------------------------------------------------------
// ZIP archive (local headers, central directory, end record), stored or raw deflate.

struct ZipEntry {
    QString name; // "dir/" for a folder
    QByteArray data;
    bool deflate = true;
};

void put16(QByteArray &b, quint16 v)
{
    b.append(char(v & 0xff));
    b.append(char(v >> 8));
}

void put32(QByteArray &b, quint32 v)
{
    put16(b, quint16(v & 0xffff));
    put16(b, quint16(v >> 16));
}

bool rawDeflate(const QByteArray &in, QByteArray *out)
{
    z_stream zs{};
    if (deflateInit2(&zs, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    out->resize(int(deflateBound(&zs, uLong(in.size()))));
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(in.constData()));
    zs.avail_in = uInt(in.size());
    zs.next_out = reinterpret_cast<Bytef *>(out->data());
    zs.avail_out = uInt(out->size());
    const int rc = deflate(&zs, Z_FINISH);
    out->resize(int(zs.total_out));
    deflateEnd(&zs);
    return rc == Z_STREAM_END;
}

bool makeZip(const QVector<ZipEntry> &entries, QByteArray *zip, QString *error)
{
    QByteArray central;
    zip->clear();
    for (const ZipEntry &e : entries) {
        const QByteArray name = e.name.toUtf8();
        const bool folder = e.name.endsWith('/');
        const bool deflated = e.deflate && !folder;
        QByteArray payload = e.data;
        if (deflated && !rawDeflate(e.data, &payload)) {
            *error = QStringLiteral("deflate failed for %1").arg(e.name);
            return false;
        }
        const quint32 crc = folder ? 0
                                   : quint32(crc32(0, reinterpret_cast<const Bytef *>(e.data.constData()),
                                                   uInt(e.data.size())));
        // Bit 11: the name is UTF-8; set only where it matters, as common archivers do.
        const bool ascii = std::all_of(name.begin(), name.end(), [](char c) { return uchar(c) < 0x80; });
        const quint16 flags = ascii ? 0 : 0x0800;
        const quint16 needed = deflated ? 20 : 10;
        const quint32 offset = quint32(zip->size());

        put32(*zip, 0x04034b50);
        put16(*zip, needed);
        put16(*zip, flags);
        put16(*zip, deflated ? 8 : 0);
        put16(*zip, kDosTime);
        put16(*zip, kDosDate);
        put32(*zip, crc);
        put32(*zip, quint32(payload.size()));
        put32(*zip, quint32(e.data.size()));
        put16(*zip, quint16(name.size()));
        put16(*zip, 0);
        zip->append(name);
        zip->append(payload);

        put32(central, 0x02014b50);
        put16(central, 20); // made by MS-DOS 2.0: the external attributes are DOS attributes
        put16(central, needed);
        put16(central, flags);
        put16(central, deflated ? 8 : 0);
        put16(central, kDosTime);
        put16(central, kDosDate);
        put32(central, crc);
        put32(central, quint32(payload.size()));
        put32(central, quint32(e.data.size()));
        put16(central, quint16(name.size()));
        put16(central, 0); // extra
        put16(central, 0); // comment
        put16(central, 0); // disk
        put16(central, 0); // internal attributes
        put32(central, folder ? 0x10 : 0x20);
        put32(central, offset);
        central.append(name);
    }
    const quint32 cdOffset = quint32(zip->size());
    zip->append(central);
    put32(*zip, 0x06054b50);
    put16(*zip, 0);
    put16(*zip, 0);
    put16(*zip, quint16(entries.size()));
    put16(*zip, quint16(entries.size()));
    put32(*zip, quint32(central.size()));
    put32(*zip, cdOffset);
    put16(*zip, 0);
    return true;
}

// ---------------------------------------------------------------------------------------
// Pictures, drawn from a short description so that the sources stay text.

struct Picture {
    QString name;  // path inside the image folder; ends with "/" for a folder
    QString draw;  // backdrop, frame, button, glyph, placeholder, noise
    QString glyph; // for draw "glyph"
    QSize size;
    QVector<QColor> colors;
    quint32 seed = 1;
    bool deflate = true;
    bool isFolder() const { return name.endsWith('/'); }
};

const QStringList kDrawKinds = {"backdrop", "frame", "button", "glyph", "placeholder", "noise"};
const QStringList kGlyphs = {"clear", "refresh", "scene", "layout", "osd", "expand", "collapse",
                             "star",  "box",     "check", "knob",   "logo"};
// Colours each kind needs at least.
int colorsNeeded(const QString &draw)
{
    return draw == "button" ? 3 : 2;
}

QImage transparent(const QSize &size)
{
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

QImage drawBackdrop(const Picture &pic)
{
    QImage img(pic.size, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, pic.size.height());
    g.setColorAt(0, pic.colors[0]);
    g.setColorAt(1, pic.colors[1]);
    p.fillRect(img.rect(), g);
    p.setPen(QPen(QColor(255, 255, 255, 14), 1));
    for (int x = 0; x < pic.size.width(); x += 40)
        p.drawLine(x, 0, x, pic.size.height());
    for (int y = 0; y < pic.size.height(); y += 40)
        p.drawLine(0, y, pic.size.width(), y);
    Rng rng(pic.seed);
    const int span = qMax(pic.size.width(), pic.size.height());
    for (int i = 0; i < 7; ++i) {
        const QPointF c(rng.below(pic.size.width()), rng.below(pic.size.height()));
        const qreal r = span / 10.0 + rng.below(qMax(1, span / 5));
        QRadialGradient glow(c, r);
        QColor tint = pic.colors[1].lighter(170);
        tint.setAlpha(46);
        glow.setColorAt(0, tint);
        tint.setAlpha(0);
        glow.setColorAt(1, tint);
        p.setPen(Qt::NoPen);
        p.setBrush(glow);
        p.drawEllipse(c, r, r);
    }
    return img;
}

QImage drawFrame(const Picture &pic)
{
    QImage img = transparent(pic.size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal radius = qMin(pic.size.width(), pic.size.height()) / 16.0;
    p.setPen(QPen(pic.colors[0], 3));
    p.setBrush(pic.colors[1]);
    p.drawRoundedRect(QRectF(img.rect()).adjusted(2, 2, -2, -2), radius, radius);
    p.setPen(QPen(pic.colors[0].lighter(140), 1));
    p.drawLine(QPointF(radius + 4, 6), QPointF(pic.size.width() - radius - 4, 6));
    return img;
}

QImage drawButton(const Picture &pic)
{
    QImage img = transparent(pic.size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal radius = qMin(pic.size.width(), pic.size.height()) / 4.0;
    QLinearGradient g(0, 0, 0, pic.size.height());
    g.setColorAt(0, pic.colors[0]);
    g.setColorAt(1, pic.colors[1]);
    p.setPen(QPen(pic.colors[2], 1.5));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(img.rect()).adjusted(1, 1, -1, -1), radius, radius);
    return img;
}

QImage drawGlyph(const Picture &pic)
{
    QImage img = transparent(pic.size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor fg = pic.colors[0];
    const QColor bg = pic.colors[1];
    const qreal w = pic.size.width(), h = pic.size.height();
    if (pic.glyph == "logo") {
        p.setPen(Qt::NoPen);
        p.setBrush(fg);
        const qreal s = h / 90.0;
        p.drawRoundedRect(QRectF(4 * s, 10 * s, 70 * s, 70 * s), 12 * s, 12 * s);
        QPainterPath n;
        n.moveTo(20 * s, 66 * s);
        n.lineTo(20 * s, 24 * s);
        n.lineTo(30 * s, 24 * s);
        n.lineTo(48 * s, 50 * s);
        n.lineTo(48 * s, 24 * s);
        n.lineTo(58 * s, 24 * s);
        n.lineTo(58 * s, 66 * s);
        n.lineTo(48 * s, 66 * s);
        n.lineTo(30 * s, 40 * s);
        n.lineTo(30 * s, 66 * s);
        n.closeSubpath();
        p.setBrush(bg);
        p.drawPath(n);
        for (int i = 0; i < 3; ++i)
            p.drawRoundedRect(QRectF(90 * s, (18 + i * 22) * s, w - 100 * s - i * 30 * s, 12 * s), 6 * s, 6 * s);
        return img;
    }
    if (bg.alpha() > 0) {
        p.setPen(Qt::NoPen);
        p.setBrush(bg);
        p.drawRoundedRect(QRectF(img.rect()), w / 8, h / 8);
    }
    p.scale(w / 48.0, h / 48.0);
    QPen pen(fg, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    if (pic.glyph == "clear") {
        p.drawLine(QPointF(12, 12), QPointF(36, 36));
        p.drawLine(QPointF(36, 12), QPointF(12, 36));
    } else if (pic.glyph == "refresh") {
        p.drawArc(QRectF(10, 10, 28, 28), 60 * 16, 280 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(fg);
        p.drawPolygon(QPolygonF({QPointF(30, 4), QPointF(40, 14), QPointF(28, 18)}));
    } else if (pic.glyph == "scene") {
        p.setPen(QPen(fg, 3));
        for (int i = 0; i < 3; ++i)
            p.drawRect(QRectF(8 + i * 5, 20 - i * 5, 24, 18));
    } else if (pic.glyph == "layout") {
        p.setPen(QPen(fg, 3));
        p.drawRect(QRectF(8, 10, 32, 28));
        p.drawLine(QPointF(24, 10), QPointF(24, 38));
        p.drawLine(QPointF(8, 24), QPointF(40, 24));
    } else if (pic.glyph == "osd") {
        p.setPen(QPen(fg, 3));
        p.drawRect(QRectF(6, 10, 36, 28));
        p.drawLine(QPointF(12, 18), QPointF(36, 18));
        p.drawLine(QPointF(12, 28), QPointF(28, 28));
    } else if (pic.glyph == "expand" || pic.glyph == "collapse") {
        p.setPen(Qt::NoPen);
        p.setBrush(fg);
        if (pic.glyph == "expand")
            p.drawPolygon(QPolygonF({QPointF(10, 16), QPointF(38, 16), QPointF(24, 34)}));
        else
            p.drawPolygon(QPolygonF({QPointF(16, 10), QPointF(34, 24), QPointF(16, 38)}));
    } else if (pic.glyph == "star") {
        QPolygonF star;
        for (int i = 0; i < 10; ++i) {
            const qreal r = i % 2 ? 9 : 20;
            const qreal a = qDegreesToRadians(-90.0 + i * 36.0);
            star << QPointF(24 + r * qCos(a), 25 + r * qSin(a));
        }
        p.setPen(Qt::NoPen);
        p.setBrush(fg);
        p.drawPolygon(star);
    } else if (pic.glyph == "box" || pic.glyph == "check") {
        p.setPen(QPen(fg, 3));
        p.drawRoundedRect(QRectF(8, 8, 32, 32), 5, 5);
        if (pic.glyph == "check") {
            p.setPen(pen);
            p.drawPolyline(QPolygonF({QPointF(14, 24), QPointF(21, 32), QPointF(35, 15)}));
        }
    } else if (pic.glyph == "knob") {
        p.setPen(QPen(fg.darker(150), 3));
        p.setBrush(fg.darker(300));
        p.drawEllipse(QRectF(6, 6, 36, 36));
        p.setPen(QPen(fg, 1.5, Qt::SolidLine, Qt::RoundCap));
        for (int i = 0; i <= 12; ++i) {
            const qreal a = qDegreesToRadians(225.0 - i * 22.5);
            p.drawLine(QPointF(24 + 19 * qCos(a), 24 - 19 * qSin(a)), QPointF(24 + 23 * qCos(a), 24 - 23 * qSin(a)));
        }
    }
    return img;
}

QImage drawPlaceholder(const Picture &pic)
{
    QImage img(pic.size, QImage::Format_RGB32);
    img.fill(pic.colors[0]);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = qMin(pic.size.width(), pic.size.height()) / 6.0;
    const QPointF c(pic.size.width() / 2.0, pic.size.height() / 2.0);
    p.setPen(Qt::NoPen);
    p.setBrush(pic.colors[1]);
    p.drawRoundedRect(QRectF(c.x() - 1.5 * s, c.y() - s, 3 * s, 2 * s), s / 4, s / 4);
    p.drawRect(QRectF(c.x() - 0.6 * s, c.y() - 1.3 * s, 1.2 * s, 0.4 * s));
    p.setBrush(pic.colors[0]);
    p.drawEllipse(c, 0.6 * s, 0.6 * s);
    return img;
}

// A gradient buried in per-pixel noise: the archive of the large package must stay large.
QImage drawNoise(const Picture &pic)
{
    QImage img(pic.size, QImage::Format_RGB32);
    Rng rng(pic.seed);
    const int h = pic.size.height();
    for (int y = 0; y < h; ++y) {
        const qreal t = h > 1 ? qreal(y) / (h - 1) : 0;
        const int r0 = int(pic.colors[0].red() * (1 - t) + pic.colors[1].red() * t);
        const int g0 = int(pic.colors[0].green() * (1 - t) + pic.colors[1].green() * t);
        const int b0 = int(pic.colors[0].blue() * (1 - t) + pic.colors[1].blue() * t);
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < pic.size.width(); ++x) {
            const quint32 n = rng.next();
            line[x] = qRgb((r0 + int(n & 0xff)) / 2, (g0 + int((n >> 8) & 0xff)) / 2,
                           (b0 + int((n >> 16) & 0xff)) / 2);
        }
    }
    return img;
}

bool renderPicture(const Picture &pic, QByteArray *bytes, QString *error)
{
    QImage img;
    if (pic.draw == "backdrop")
        img = drawBackdrop(pic);
    else if (pic.draw == "frame")
        img = drawFrame(pic);
    else if (pic.draw == "button")
        img = drawButton(pic);
    else if (pic.draw == "glyph")
        img = drawGlyph(pic);
    else if (pic.draw == "placeholder")
        img = drawPlaceholder(pic);
    else
        img = drawNoise(pic);
    const QString suffix = QFileInfo(pic.name).suffix().toLower();
    QBuffer buffer(bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, suffix == "png" ? "png" : "jpg");
    if (suffix != "png")
        writer.setQuality(85);
    if (!writer.write(img)) {
        *error = QStringLiteral("cannot encode picture %1: %2").arg(pic.name, writer.errorString());
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------
// Design file helpers shared by validation, scaling and the large package.

QString propertyString(const QJsonObject &node, const QString &name)
{
    for (const QJsonValue &p : node.value("property").toArray())
        if (p.toObject().value("name").toString() == name)
            return p.toObject().value("value").toVariant().toString();
    return QString();
}

QJsonValue propertyValue(const QJsonObject &node, const QString &name)
{
    for (const QJsonValue &p : node.value("property").toArray())
        if (p.toObject().value("name").toString() == name)
            return p.toObject().value("value");
    return QJsonValue();
}

// Calls f for node and every descendant.
template <typename F>
void walkNodes(const QJsonObject &node, F &&f)
{
    f(node);
    for (const QJsonValue &child : node.value("item").toArray())
        walkNodes(child.toObject(), f);
}

// Every text value anywhere in v, for the picture reference check.
void collectStrings(const QJsonValue &v, QStringList *out)
{
    if (v.isString()) {
        out->append(v.toString());
    } else if (v.isArray()) {
        for (const QJsonValue &e : v.toArray())
            collectStrings(e, out);
    } else if (v.isObject()) {
        const QJsonObject o = v.toObject();
        for (auto it = o.begin(); it != o.end(); ++it)
            collectStrings(it.value(), out);
    }
}

// Uniform scaling with centring, so a design drawn for one resolution serves another.
struct Fit {
    qreal scale;
    qreal dx, dy;
    int width, height;
};

int scaled(const QJsonValue &v, qreal s, int minimum)
{
    const int n = v.toInt();
    return n == 0 ? 0 : qMax(minimum, qRound(n * s));
}

QJsonValue fitValue(const QJsonValue &v, const Fit &fit)
{
    static const QSet<QString> sizes = {"textSize", "cornerTopLeft", "cornerTopRight", "cornerBottomLeft",
                                        "cornerBottomRight"};
    if (v.isArray()) {
        QJsonArray out;
        for (const QJsonValue &e : v.toArray())
            out.append(fitValue(e, fit));
        return out;
    }
    if (!v.isObject())
        return v;
    QJsonObject o = v.toObject();
    if (o.size() == 2 && o.value("name").isString() && o.contains("value")) {
        const QString name = o.value("name").toString();
        const QJsonObject r = o.value("value").toObject();
        if (name == "sWidgetGeometry" && o.value("value").isObject()) {
            o["value"] = rectValue(qRound(fit.dx + r.value("x").toInt() * fit.scale),
                                   qRound(fit.dy + r.value("y").toInt() * fit.scale),
                                   qRound(r.value("width").toInt() * fit.scale),
                                   qRound(r.value("height").toInt() * fit.scale));
            return o;
        }
        if (name == "resolution" && o.value("value").isObject()) {
            o["value"] = QJsonObject{{"width", fit.width}, {"height", fit.height}};
            return o;
        }
        if (sizes.contains(name) && o.value("value").isDouble()) {
            o["value"] = scaled(o.value("value"), fit.scale, 1);
            return o;
        }
    }
    for (auto it = o.begin(); it != o.end(); ++it)
        it.value() = fitValue(it.value(), fit);
    return o;
}

// Signal id as the client derives it from a device entry's "IP" and name.
QString signalId(const QString &ip, const QString &name)
{
    QString id = ip;
    if (ip.contains("(0)"))
        id = ip.left(ip.indexOf('(')) + "-0";
    else if (ip.contains("(1)"))
        id = ip.left(ip.indexOf('(')) + "-1";
    if (name.contains("-IPC"))
        id += "-IPC";
    return id;
}

QString normalisedMember(const QString &m)
{
    if (m.contains("(0)"))
        return m.left(m.indexOf('(')) + "-0";
    if (m.contains("(1)"))
        return m.left(m.indexOf('(')) + "-1";
    return m;
}

// ---------------------------------------------------------------------------------------

struct Account {
    const char *name;
    const char *password;
    const char *role;
};

// The synthetic packages use the accounts of the lab package (samples/README.md).
const Account kLabAccounts[] = {
    {"admin", "Admin#2024", "admin"}, {"operator", "op2024", "operator"}, {"guest", "Guest-Viewer-16!", "operator"}};

// The lab's users with their clear passwords (the generator stores the enciphered form).
QJsonArray labUsers()
{
    QJsonArray users;
    for (const Account &a : kLabAccounts)
        users.append(QJsonObject{{"name", a.name}, {"passwd_clear", a.password}, {"role", a.role}});
    return users;
}

// The lab's two roles: admin with every page, operator with its own list; both with every group.
QJsonArray labRoles(const QStringList &groupNames, const QJsonArray &allPages, const QJsonArray &operatorPages)
{
    QJsonArray groupGrants;
    for (const QString &g : groupNames)
        groupGrants.append(QJsonObject{{"groupName", g}, {"visible", true}, {"control", true}});
    return {QJsonObject{{"name", "admin"}, {"level", 255}, {"sharedLogin", true}, {"tagging", true},
                        {"pageList", allPages}, {"signalGroupList", groupGrants}},
            QJsonObject{{"name", "operator"}, {"level", 200}, {"sharedLogin", false}, {"tagging", false},
                        {"pageList", operatorPages}, {"signalGroupList", groupGrants}}};
}

// A descriptor offering one design, 1920×1080, served by the lab's host node.
QJsonObject descriptor1080(const QString &net)
{
    return {{"version", "2.3.1"},
            {"host_addr", net + ".10"},
            {"device", "device.json"},
            {"language", "language.txt"},
            {"client.ui", QJsonArray{QJsonObject{{"file", "client0_1920_1080.jui"},
                                                 {"resolution", QJsonObject{{"w", 1920}, {"h", 1080}}}}}}};
}

// The translations of the synthetic packages: the login messages and one line per page name.
QString pageLanguage(int pages)
{
    QString language = QStringLiteral("Warning=警告\nUser or Password Error=用户名或密码错误\nNo permission access!=没有访问权限！\n");
    for (int p = 0; p < pages; ++p)
        language += QStringLiteral("Page %1=第 %1 页\n").arg(p + 1);
    return language;
}

class Generator {
public:
    bool setNet(const QString &net);
    void setVersion(const QString &v) { m_version = v; }
    bool fromSource(const QString &sourceDir, const QString &outDir);
    bool large(const QString &outDir, int pages);
    bool twin(const QString &outDir, int pages);
    QString error() const { return m_error; }

private:
    bool fail(const QString &message)
    {
        if (m_error.isEmpty())
            m_error = message;
        return false;
    }
    bool readText(const QString &name, QString *text);
    bool readJson(const QString &name, QJsonObject *object);
    bool substitute(const QString &name, QString *text);
    bool readPictures(const QJsonArray &list);
    bool checkDesign(const QString &name, const QJsonObject &design);
    bool processDevice(QJsonObject *device);
    bool checkWalls(const QString &name, const QJsonObject &design);
    bool descriptorSizes(const QString &name, const QJsonObject &descriptor, QVector<QSize> *sizes);
    bool writeDesigns(const QString &prefix, const QJsonObject &design, const QVector<QSize> &sizes);
    bool languageBytes(const QString &name, const QString &text, QByteArray *bytes);
    bool write(const QString &relative, const QByteArray &bytes, bool announce = true);
    bool writeArchive(const QString &relative);
    bool writeLooseImages(const QString &folder);
    bool writeManifest();
    bool writeQrc(const QString &relative);
    bool fromLegacySource(const QJsonObject &pkg);
    bool writeLegacyPackage(const QString &configName, QString text);
    bool checkLegacyConfig(const QString &name, const QString &text);
    bool writeDesignPackage(const QString &what, const QString &descriptorName, const QJsonObject &descriptor,
                            QJsonObject device, const QJsonObject &design, const QString &language);

    QString m_net = QStringLiteral("10.77.1");
    QString m_version = QStringLiteral("0.0.0");
    QString m_error;
    QString m_source;
    QString m_out;
    QVector<Picture> m_pictures;
    QSet<QString> m_pageIds;
    QSet<QString> m_outputAddresses;
    QVector<QPair<QString, QString>> m_announced; // name, md5 in write order
    QStringList m_written;
};

bool Generator::setNet(const QString &net)
{
    const QStringList parts = net.split('.');
    bool good = parts.size() == 3;
    for (const QString &p : parts) {
        bool ok = false;
        const int n = p.toInt(&ok);
        good = good && ok && n >= 0 && n <= 255 && !p.isEmpty() && p.size() <= 3;
    }
    if (!good)
        return fail(QStringLiteral("--net wants the first three octets of an IPv4 subnet, e.g. 10.77.1, not \"%1\"")
                        .arg(net));
    m_net = net;
    return true;
}

bool Generator::readText(const QString &name, QString *text)
{
    QFile file(QDir(m_source).filePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("%1: cannot read (%2)").arg(file.fileName(), file.errorString()));
    const QByteArray bytes = file.readAll();
    QTextCodec::ConverterState state;
    *text = QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    if (state.invalidChars > 0)
        return fail(QStringLiteral("%1: not valid UTF-8").arg(name));
    if (text->startsWith(QChar(0xfeff)))
        text->remove(0, 1);
    return substitute(name, text);
}

bool Generator::substitute(const QString &name, QString *text)
{
    text->replace(QLatin1String("{{NET}}"), m_net);
    text->replace(QLatin1String("{{VERSION}}"), m_version);
    const int left = text->indexOf(QLatin1String("{{"));
    if (left >= 0) {
        const int line = text->leftRef(left).count('\n') + 1;
        return fail(QStringLiteral("%1:%2: unknown placeholder %3").arg(name).arg(line).arg(text->mid(left, 12)));
    }
    return true;
}

bool Generator::readJson(const QString &name, QJsonObject *object)
{
    QString text;
    if (!readText(name, &text))
        return false;
    QJsonParseError err{};
    const QByteArray utf8 = text.toUtf8();
    const QJsonDocument doc = QJsonDocument::fromJson(utf8, &err);
    if (err.error != QJsonParseError::NoError) {
        const QByteArray before = utf8.left(err.offset);
        const int line = before.count('\n') + 1;
        return fail(QStringLiteral("%1:%2: JSON error: %3").arg(name).arg(line).arg(err.errorString()));
    }
    if (!doc.isObject())
        return fail(QStringLiteral("%1: the top level must be a JSON object").arg(name));
    *object = doc.object();
    return true;
}

bool Generator::readPictures(const QJsonArray &list)
{
    QSet<QString> names;
    for (const QJsonValue &v : list) {
        const QJsonObject o = v.toObject();
        Picture pic;
        pic.name = o.value("name").toString();
        if (pic.name.isEmpty() || pic.name.startsWith('/') || pic.name.contains("..") || pic.name.contains('\\'))
            return fail(QStringLiteral("package.json: picture name \"%1\" must be a relative path").arg(pic.name));
        if (names.contains(pic.name))
            return fail(QStringLiteral("package.json: picture %1 is listed twice").arg(pic.name));
        names.insert(pic.name);
        if (!pic.isFolder()) {
            pic.draw = o.value("draw").toString();
            pic.glyph = o.value("glyph").toString();
            const QJsonArray size = o.value("size").toArray();
            pic.size = QSize(size.at(0).toInt(), size.at(1).toInt());
            for (const QJsonValue &c : o.value("colors").toArray())
                pic.colors.append(QColor(c.toString()));
            pic.seed = quint32(o.value("seed").toInt(1));
            const QString zip = o.value("zip").toString("deflate");
            pic.deflate = zip == "deflate";
            const QString suffix = QFileInfo(pic.name).suffix().toLower();
            if (!kDrawKinds.contains(pic.draw))
                return fail(QStringLiteral("package.json: picture %1 has unknown draw \"%2\"").arg(pic.name, pic.draw));
            if (pic.draw == "glyph" && !kGlyphs.contains(pic.glyph))
                return fail(QStringLiteral("package.json: picture %1 has unknown glyph \"%2\"").arg(pic.name, pic.glyph));
            if (size.size() != 2 || pic.size.width() < 1 || pic.size.height() < 1 || pic.size.width() > 8192 ||
                pic.size.height() > 8192)
                return fail(QStringLiteral("package.json: picture %1 needs a size [w, h] of 1 to 8192").arg(pic.name));
            if (pic.colors.size() < colorsNeeded(pic.draw) ||
                std::any_of(pic.colors.begin(), pic.colors.end(), [](const QColor &c) { return !c.isValid(); }))
                return fail(QStringLiteral("package.json: picture %1 needs %2 valid colours")
                                .arg(pic.name)
                                .arg(colorsNeeded(pic.draw)));
            if (zip != "deflate" && zip != "store")
                return fail(QStringLiteral("package.json: picture %1: zip must be deflate or store").arg(pic.name));
            if (suffix != "png" && suffix != "jpg" && suffix != "jpeg")
                return fail(QStringLiteral("package.json: picture %1 must end in .png or .jpg").arg(pic.name));
        }
        m_pictures.append(pic);
    }
    return true;
}

bool Generator::checkDesign(const QString &name, const QJsonObject &design)
{
    const QJsonArray pages = design.value("ui").toObject().value("item").toArray();
    if (pages.size() < 2)
        return fail(QStringLiteral("%1: needs a login page and at least one page under ui.item").arg(name));
    const QJsonObject login = pages.at(0).toObject();
    if (propertyString(login, "label") != "LoginPage")
        return fail(QStringLiteral("%1: the first page must have the label LoginPage").arg(name));
    QSet<QString> loginLabels;
    bool loginWidget = false;
    walkNodes(login, [&](const QJsonObject &n) {
        const QString cls = n.value("class").toString();
        loginWidget = loginWidget || cls == "LoginWidget";
        if (cls == "InputBoxWidget" || cls == "ButtonWidget")
            loginLabels.insert(propertyString(n, "label"));
    });
    if (!loginWidget)
        return fail(QStringLiteral("%1: the login page has no LoginWidget").arg(name));
    for (const char *label : {"UserInputBox", "PasswordInputBox", "HostIPInputBox", "ServerIPInputBox",
                              "DownloadInputBox", "YesBtn", "QuitBtn", "RememberBtn"})
        if (!loginLabels.contains(label))
            return fail(QStringLiteral("%1: the login page lacks the item labelled %2").arg(name, label));

    QSet<QString> uuids;
    QString duplicate;
    m_pageIds.clear();
    for (int i = 0; i < pages.size(); ++i) {
        const QJsonObject page = pages.at(i).toObject();
        const QString id = propertyString(page, "uuid");
        if (i > 0) {
            if (id.isEmpty())
                return fail(QStringLiteral("%1: page %2 has no uuid").arg(name).arg(i));
            m_pageIds.insert(id);
        }
        walkNodes(page, [&](const QJsonObject &n) {
            const QString uuid = propertyString(n, "uuid");
            if (uuid.isEmpty())
                return;
            if (uuids.contains(uuid) && duplicate.isEmpty())
                duplicate = uuid;
            uuids.insert(uuid);
        });
    }
    if (!duplicate.isEmpty())
        return fail(QStringLiteral("%1: uuid %2 is used twice").arg(name, duplicate));

    QSet<QString> pictures;
    for (const Picture &p : m_pictures)
        pictures.insert(p.name);
    QStringList strings;
    collectStrings(design, &strings);
    for (const QString &s : strings)
        if (s.startsWith("./image/") && !pictures.contains(s.mid(8)))
            return fail(QStringLiteral("%1: picture %2 is not among the package's pictures").arg(name, s));
    return true;
}

bool Generator::processDevice(QJsonObject *device)
{
    const QString file = QStringLiteral("device.json");
    QSet<QString> signalIds;
    m_outputAddresses.clear();
    for (const QJsonValue &entry : device->value("device").toArray()) {
        const QJsonObject e = entry.toObject();
        const QString kind = e.value("device").toString();
        for (const QJsonValue &d : e.value("list").toArray()) {
            const QJsonObject o = d.toObject();
            const QString ip = o.value("IP").toString();
            if (ip.isEmpty())
                return fail(QStringLiteral("%1: a %2 device has no IP").arg(file, kind));
            if (kind == "output")
                m_outputAddresses.insert(ip.left(ip.indexOf('(')));
            if (kind == "signal") {
                const QString name = ip.contains("(1)")
                                         ? o.value("InNodeNames").toObject().value("1").toString()
                                         : o.value("NodeName").toString();
                const QString id = signalId(ip, o.value("NodeName").toString());
                if (name.isEmpty())
                    return fail(QStringLiteral("%1: signal %2 has no name").arg(file, ip));
                if (signalIds.contains(id))
                    return fail(QStringLiteral("%1: signal id %2 occurs twice").arg(file, id));
                signalIds.insert(id);
            }
        }
    }
    QSet<QString> multiNames;
    for (const QJsonValue &v : device->value("multi_signal").toArray()) {
        const QJsonObject m = v.toObject();
        const QString name = m.value("name").toString();
        const QStringList type = m.value("type").toString().split('x');
        const int cells = type.size() == 2 ? type.at(0).toInt() * type.at(1).toInt() : 0;
        const QJsonArray list = m.value("list").toArray();
        if (name.isEmpty() || cells < 1 || list.size() != cells)
            return fail(QStringLiteral("%1: multi-signal \"%2\" needs a name, a type CxR and C×R cells").arg(file, name));
        for (const QJsonValue &cell : list)
            if (!cell.toString().isEmpty() && !signalIds.contains(cell.toString()))
                return fail(QStringLiteral("%1: multi-signal %2 names unknown signal %3").arg(file, name, cell.toString()));
        multiNames.insert(name);
    }
    QSet<QString> groups;
    for (const QJsonValue &v : device->value("signal_group").toArray()) {
        const QJsonObject g = v.toObject();
        const QString name = g.value("name").toString();
        if (name.isEmpty() || groups.contains(name))
            return fail(QStringLiteral("%1: signal group names must be present and unique (\"%2\")").arg(file, name));
        groups.insert(name);
        for (const QJsonValue &m : g.value("list").toArray()) {
            const QString id = normalisedMember(m.toString());
            if (!signalIds.contains(id) && !signalIds.contains(id + "-IPC") && !multiNames.contains(m.toString()))
                return fail(QStringLiteral("%1: group %2 lists %3, which is no signal or multi-signal")
                                .arg(file, name, m.toString()));
        }
    }
    QSet<QString> roles;
    for (const QJsonValue &v : device->value("roles").toArray()) {
        const QJsonObject r = v.toObject();
        const QString name = r.value("name").toString();
        if (name.isEmpty() || roles.contains(name))
            return fail(QStringLiteral("%1: role names must be present and unique (\"%2\")").arg(file, name));
        roles.insert(name);
        for (const QJsonValue &page : r.value("pageList").toArray())
            if (!m_pageIds.contains(page.toString()))
                return fail(QStringLiteral("%1: role %2 lists page %3, which the design lacks")
                                .arg(file, name, page.toString()));
        for (const QJsonValue &g : r.value("signalGroupList").toArray())
            if (!groups.contains(g.toObject().value("groupName").toString()))
                return fail(QStringLiteral("%1: role %2 lists unknown signal group %3")
                                .arg(file, name, g.toObject().value("groupName").toString()));
    }
    QJsonArray users;
    QSet<QString> userNames;
    for (const QJsonValue &v : device->value("users").toArray()) {
        QJsonObject u = v.toObject();
        const QString name = u.value("name").toString();
        if (name.isEmpty() || userNames.contains(name))
            return fail(QStringLiteral("%1: user names must be present and unique (\"%2\")").arg(file, name));
        userNames.insert(name);
        if (!roles.contains(u.value("role").toString()))
            return fail(QStringLiteral("%1: user %2 has unknown role \"%3\"").arg(file, name, u.value("role").toString()));
        const bool clear = u.value("passwd_clear").isString();
        if (clear == u.contains("passwd"))
            return fail(QStringLiteral("%1: user %2 needs exactly one of passwd_clear and passwd").arg(file, name));
        if (clear) {
            const QString password = u.take("passwd_clear").toString();
            const QByteArray latin1 = password.toLatin1();
            if (QString::fromLatin1(latin1) != password || password.size() > 1023)
                return fail(QStringLiteral("%1: the password of user %2 must be at most 1023 Latin-1 characters")
                                .arg(file, name));
            u["passwd"] = QString::fromLatin1(kora::encipherForStorage(latin1).toBase64());
        }
        users.append(u);
    }
    (*device)["users"] = users;
    return true;
}

bool Generator::checkWalls(const QString &name, const QJsonObject &design)
{
    QString missing;
    walkNodes(design.value("ui").toObject(), [&](const QJsonObject &n) {
        if (n.value("class").toString() != "TableCell" || !missing.isEmpty())
            return;
        const QString device = propertyString(n, "deviceID");
        if (!m_outputAddresses.contains(device))
            missing = device;
    });
    if (!missing.isEmpty())
        return fail(QStringLiteral("%1: a wall cell names decoder %2, which device.json does not list as output")
                        .arg(name, missing));
    return true;
}

bool Generator::descriptorSizes(const QString &name, const QJsonObject &descriptor, QVector<QSize> *sizes)
{
    const QJsonArray list = descriptor.value("client.ui").toArray();
    if (list.isEmpty())
        return fail(QStringLiteral("%1: \"client.ui\" lists no design").arg(name));
    for (const QJsonValue &v : list) {
        const QJsonObject r = v.toObject().value("resolution").toObject();
        const QSize size(r.value("w").toInt(), r.value("h").toInt());
        if (size.width() < 100 || size.height() < 100 || size.width() > 16384 || size.height() > 16384)
            return fail(QStringLiteral("%1: every \"client.ui\" entry needs a resolution w, h of 100 to 16384").arg(name));
        const QString expected = QStringLiteral("client0_%1_%2.jui").arg(size.width()).arg(size.height());
        const QString file = v.toObject().value("file").toString(expected);
        if (file != expected)
            return fail(QStringLiteral("%1: design file %2 should be named %3").arg(name, file, expected));
        if (sizes->contains(size))
            return fail(QStringLiteral("%1: resolution %2×%3 is listed twice").arg(name).arg(size.width()).arg(size.height()));
        sizes->append(size);
    }
    return true;
}

bool Generator::writeDesigns(const QString &prefix, const QJsonObject &design, const QVector<QSize> &sizes)
{
    const QJsonObject login = design.value("ui").toObject().value("item").toArray().at(0).toObject();
    const QJsonObject authored = propertyValue(login, "resolution").toObject();
    const int aw = authored.value("width").toInt(), ah = authored.value("height").toInt();
    if (aw < 1 || ah < 1)
        return fail(QStringLiteral("design: the login page needs its resolution {width, height}"));
    for (const QSize &size : sizes) {
        QJsonObject doc = design;
        if (size != QSize(aw, ah)) {
            Fit fit;
            fit.scale = qMin(qreal(size.width()) / aw, qreal(size.height()) / ah);
            fit.dx = (size.width() - aw * fit.scale) / 2;
            fit.dy = (size.height() - ah * fit.scale) / 2;
            fit.width = size.width();
            fit.height = size.height();
            doc = fitValue(design, fit).toObject();
        }
        const QString file = QStringLiteral("%1client0_%2_%3.jui").arg(prefix).arg(size.width()).arg(size.height());
        if (!write(file, QJsonDocument(doc).toJson(QJsonDocument::Compact)))
            return false;
    }
    return true;
}

bool Generator::languageBytes(const QString &name, const QString &text, QByteArray *bytes)
{
    QStringList lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString &line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    const QString joined = lines.join(QLatin1String("\r\n")) + QLatin1String("\r\n");
    QTextCodec *gbk = QTextCodec::codecForName("GBK");
    if (!gbk)
        return fail(QStringLiteral("this Qt has no GBK codec"));
    *bytes = gbk->fromUnicode(joined);
    // Anything GBK cannot hold comes back changed; name the first such line.
    const QStringList back = gbk->toUnicode(*bytes).split(QLatin1String("\r\n"));
    for (int i = 0; i < lines.size(); ++i)
        if (i >= back.size() || back.at(i) != lines.at(i))
            return fail(QStringLiteral("%1:%2: text that GBK cannot encode").arg(name).arg(i + 1));
    return true;
}

bool Generator::write(const QString &relative, const QByteArray &bytes, bool announce)
{
    const QString path = QDir(m_out).filePath(relative);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return fail(QStringLiteral("cannot create the folder of %1").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return fail(QStringLiteral("%1: cannot write (%2)").arg(path, file.errorString()));
    m_written.append(relative);
    if (announce)
        m_announced.append({relative, md5Hex(bytes)});
    return true;
}

bool Generator::writeArchive(const QString &relative)
{
    QVector<ZipEntry> entries;
    for (const Picture &pic : m_pictures) {
        ZipEntry e;
        e.name = pic.name;
        e.deflate = pic.deflate;
        if (!pic.isFolder() && !renderPicture(pic, &e.data, &m_error))
            return false;
        entries.append(e);
    }
    QByteArray zip;
    return makeZip(entries, &zip, &m_error) && write(relative, zip);
}

bool Generator::writeLooseImages(const QString &folder)
{
    for (const Picture &pic : m_pictures) {
        if (pic.isFolder())
            continue;
        QByteArray bytes;
        if (!renderPicture(pic, &bytes, &m_error) || !write(folder + pic.name, bytes, false))
            return false;
    }
    return true;
}

bool Generator::writeManifest()
{
    QByteArray text;
    for (const auto &entry : m_announced)
        text += entry.first.toUtf8() + ' ' + entry.second.toLatin1() + '\n';
    return write(QStringLiteral("files.txt"), text, false);
}

bool Generator::writeQrc(const QString &relative)
{
    QByteArray text = "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n<qresource prefix=\"/\">\n";
    for (const QString &file : m_written)
        text += "    <file>" + file.toHtmlEscaped().toUtf8() + "</file>\n";
    text += "</qresource>\n</RCC>\n";
    return write(relative, text, false);
}

bool Generator::fromSource(const QString &sourceDir, const QString &outDir)
{
    m_source = sourceDir;
    m_out = outDir;
    if (!QFileInfo(sourceDir).isDir())
        return fail(QStringLiteral("%1: no such source folder").arg(sourceDir));
    // The package files share names with their sources; writing into the sources would eat them.
    if (QFileInfo(outDir).canonicalFilePath() == QFileInfo(sourceDir).canonicalFilePath())
        return fail(QStringLiteral("--out must not be the source folder"));
    QJsonObject pkg;
    if (!readJson("package.json", &pkg))
        return false;
    const QString layout = pkg.value("layout").toString();
    if (layout == "legacy")
        return fromLegacySource(pkg);
    if (layout != "controller" && layout != "builtin")
        return fail(QStringLiteral("package.json: layout must be controller, builtin or legacy, not \"%1\"").arg(layout));
    const QString descriptorName = pkg.value("descriptor").toString();
    const QString deviceName = pkg.value("device").toString();
    const QString designName = pkg.value("design").toString();
    if (!descriptorName.contains(".ds") || deviceName.isEmpty() || designName.isEmpty())
        return fail(QStringLiteral("package.json: needs descriptor (a name with .ds), device and design"));
    if (!readPictures(pkg.value("pictures").toArray()))
        return false;

    QJsonObject descriptor, device, design;
    QVector<QSize> sizes;
    if (!readJson(descriptorName, &descriptor) || !descriptorSizes(descriptorName, descriptor, &sizes) ||
        !readJson(designName, &design) || !checkDesign(designName, design) || !readJson(deviceName, &device) ||
        !processDevice(&device) || !checkWalls(designName, design))
        return false;

    const QByteArray descriptorBytes = QJsonDocument(descriptor).toJson(QJsonDocument::Indented);
    const QByteArray deviceBytes = QJsonDocument(device).toJson(QJsonDocument::Indented);

    if (layout == "builtin") {
        // The client reads exactly these resource names for its demonstration account.
        if (descriptorName != "lumora.ds" || !sizes.contains(QSize(1920, 1080)))
            return fail(QStringLiteral("package.json: the built-in sample needs lumora.ds offering 1920×1080"));
        if (!write("test/" + descriptorName, descriptorBytes) || !write("test/device.json", deviceBytes) ||
            !writeDesigns("test/", design, sizes))
            return false;
        for (const QJsonValue &v : pkg.value("text").toArray()) {
            QString text;
            if (!readText(v.toString(), &text))
                return false;
            text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
            text.replace('\n', QLatin1String("\r\n"));
            if (!write(v.toString(), text.toUtf8()))
                return false;
        }
        return writeLooseImages("image/") && writeQrc("kora_builtin.qrc");
    }

    const QString languageName = pkg.value("language").toString();
    QString language;
    QByteArray languageGbk;
    if (languageName.isEmpty())
        return fail(QStringLiteral("package.json: a controller package needs its language file"));
    if (!readText(languageName, &language) || !languageBytes(languageName, language, &languageGbk))
        return false;
    if (!write(descriptorName, descriptorBytes) || !write("language.txt", languageGbk) ||
        !write("device.json", deviceBytes) || !writeDesigns(QString(), design, sizes))
        return false;
    for (const QJsonValue &v : pkg.value("extra").toArray()) {
        QJsonObject extra;
        if (!readJson(v.toString(), &extra) || !write(v.toString(), QJsonDocument(extra).toJson(QJsonDocument::Compact)))
            return false;
    }
    return writeArchive("image.zip") && writeManifest();
}

// An older controller's package from its source folder: the config and the pictures.
bool Generator::fromLegacySource(const QJsonObject &pkg)
{
    const QString configName = pkg.value("config").toString();
    if (configName.isEmpty())
        return fail(QStringLiteral("package.json: a legacy package needs its config"));
    if (!readPictures(pkg.value("pictures").toArray()))
        return false;
    QString text;
    return readText(configName, &text) && writeLegacyPackage(configName, text);
}

// "pic.dat" (the pictures, each a 4-byte little-endian length and its bytes, in "PicFiles"
// order) and "config_host.cfg" (GBK, CR LF). A line "Password_clear=X" becomes "Password="
// and the upper-case hex of X's enciphered form.
bool Generator::writeLegacyPackage(const QString &configName, QString text)
{
    QStringList lines = text.split('\n');
    for (QString &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        const QString clear = QStringLiteral("Password_clear=");
        if (line.startsWith(clear)) {
            const QString password = line.mid(clear.size());
            const QByteArray latin1 = password.toLatin1();
            if (QString::fromLatin1(latin1) != password)
                return fail(QStringLiteral("%1: password %2 is not Latin-1").arg(configName, password));
            line = QStringLiteral("Password=") + QString::fromLatin1(kora::encipherForStorage(latin1).toHex().toUpper());
        }
    }
    text = lines.join('\n');
    QByteArray config;
    if (!checkLegacyConfig(configName, text) || !languageBytes(configName, text, &config))
        return false;

    QByteArray container;
    for (const Picture &pic : m_pictures) {
        if (pic.isFolder())
            return fail(QStringLiteral("package.json: a legacy package has no folders (%1)").arg(pic.name));
        QByteArray bytes;
        if (!renderPicture(pic, &bytes, &m_error))
            return false;
        QByteArray length;
        put32(length, quint32(bytes.size()));
        container += length + bytes;
    }
    // The client asks for the pictures first, then the configuration.
    return write("pic.dat", container) && write("config_host.cfg", config) && writeManifest();
}

// What a typo would break: pictures named in "PicFiles" and by widgets, the users' pages,
// widget identifiers, and decoders of the walls that are listed as outputs.
bool Generator::checkLegacyConfig(const QString &name, const QString &text)
{
    QString crlf = text;
    crlf.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    const kora::package::LegacyConfig config = kora::package::parseLegacyConfig(crlf);
    if (!config.hasUi || !config.designSize.isValid() || config.pages.empty())
        return fail(QStringLiteral("%1: needs a UI block with UISize and pages").arg(name));
    QStringList pictures;
    for (const Picture &pic : m_pictures)
        pictures.append(pic.name);
    if (config.pictureNames != pictures)
        return fail(QStringLiteral("%1: PicFiles (%2) must list the pictures of package.json in order (%3)")
                        .arg(name, config.pictureNames.join('|'), pictures.join('|')));
    QSet<QString> pageIds;
    for (const kora::package::LegacyPage &page : config.pages)
        pageIds.insert(page.id);
    for (const kora::UserRecord &user : config.users) {
        for (const QString &page : user.pageIds)
            if (!pageIds.contains(page))
                return fail(QStringLiteral("%1: user %2 names page %3, which does not exist").arg(name, user.name, page));
    }
    QSet<QString> outputs;
    for (const kora::OutputRecord &o : config.outputs)
        outputs.insert(o.address);
    QSet<QString> uuids;
    const QStringList lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        const QString value = line.section('=', 1, 1);
        const auto where = [&] { return QStringLiteral("%1:%2: ").arg(name).arg(i + 1); };
        if (line.startsWith(QLatin1String("Pic=")) && !value.isEmpty() && !pictures.contains(value))
            return fail(where() + QStringLiteral("picture %1 is not in the package").arg(value));
        if (line.startsWith(QLatin1String("UUID=")) && value != QLatin1String("-1")) {
            if (uuids.contains(value))
                return fail(where() + QStringLiteral("UUID %1 is used twice").arg(value));
            uuids.insert(value);
        }
        if (line.startsWith(QLatin1String("NodeIP=")) && !outputs.contains(value.section(',', 2)))
            return fail(where() + QStringLiteral("decoder %1 is not in TransmitNodes").arg(value.section(',', 2)));
    }
    return true;
}

// ---------------------------------------------------------------------------------------
// Large package: synthetic, but built from the same widget kinds and checked the same way.

class LargeDesign {
public:
    explicit LargeDesign(const QString &net) : m_net(net) {}
    // The pictures of a button up and down.
    void setButtonPictures(const QString &up, const QString &down)
    {
        m_buttonUp = up;
        m_buttonDown = down;
    }

    QJsonObject node(const QString &cls, const QString &uuid, QJsonArray props, const QJsonArray &items = {})
    {
        props.prepend(prop("uuid", uuid));
        return QJsonObject{{"class", cls}, {"name", cls + "_" + uuid}, {"complex", !items.isEmpty()},
                           {"property", props}, {"item", items}};
    }
    static QJsonObject states(const QJsonValue &normal, const QJsonValue &pressed)
    {
        return QJsonObject{{"normal", normal}, {"hover", normal}, {"pressed", pressed}};
    }
    QJsonObject send(const QString &ip, int port, const QString &protocol, const QString &type, const QString &data,
                     const QJsonObject &wildcard = {})
    {
        return QJsonObject{{"bit", "8"},        {"data", data}, {"ip", ip},         {"mode", ""},
                           {"port", port},      {"protocol", protocol}, {"type", type}, {"wildcard", wildcard}};
    }
    static QJsonObject event(const QString &action, const QString &behavior, const QJsonValue &value)
    {
        return QJsonObject{{"action", action}, {"behavior", behavior}, {"delay", 0}, {"loop", 0}, {"value", value}};
    }
    QJsonObject text(const QString &uuid, const QRect &g, const QString &s, int size = 18)
    {
        return node("TextWidget", uuid,
                    {prop("sWidgetGeometry", rectValue(g.x(), g.y(), g.width(), g.height())), prop("text", s),
                     prop("enableVisible", true), prop("fontFamily", "微软雅黑"), prop("textColor", "#e8f0f8"),
                     prop("textSize", size), prop("textAlignHorizontal", 4), prop("textAlignVertical", 128)});
    }
    QJsonObject rect(const QString &uuid, const QRect &g, const QString &color)
    {
        return node("RectWidget", uuid,
                    {prop("sWidgetGeometry", rectValue(g.x(), g.y(), g.width(), g.height())), prop("imageFile", ""),
                     prop("borderWidth", 1), prop("borderColor", "#3f6f9a"), prop("opacity", 100),
                     prop("isMonoFilled", true), prop("monoColor", color), prop("isGradientFilled", false)});
    }
    QJsonObject button(const QString &uuid, const QRect &g, const QString &label, const QString &caption,
                       const QJsonArray &events, bool autoLift = true)
    {
        return node("ButtonWidget", uuid,
                    {prop("label", label), prop("sWidgetGeometry", rectValue(g.x(), g.y(), g.width(), g.height())),
                     prop("enableVisible", true), prop("text", states(caption, caption)),
                     prop("fontFamily", "微软雅黑"), prop("textColor", states("#e8f0f8", "#ffffff")),
                     prop("textSize", 16), prop("buttonGroup", -1), prop("autoLift", autoLift),
                     prop("initialTrigger", false),
                     prop("imageFile", states(m_buttonUp, m_buttonDown)),
                     prop("borderWidth", 1), prop("borderColor", "#3f6f9a"), prop("opacity", 100),
                     prop("isMonoFilled", states(true, true)), prop("monoColor", states("#1c3d5e", "#2f7fc1")),
                     prop("usingPolyState", 0), prop("eventAttrList", events), prop("textAlignHorizontal", 4),
                     prop("textAlignVertical", 128)});
    }
    QJsonObject slider(const QString &uuid, const QRect &g, int code)
    {
        const QJsonArray events{event("Sliding", "SendData",
                                      send(m_net + ".8", 9000, "Udp", "Hex",
                                           QStringLiteral("AA 55 03 %1 $V CC").arg(code & 0xff, 2, 16, QChar('0')).toUpper(),
                                           QJsonObject{{"$V", "value"}}))};
        const QRect handle(g.x(), g.y(), 28, g.height());
        return node("SliderWidget", uuid,
                    {prop("sWidgetGeometry", rectValue(g.x(), g.y(), g.width(), g.height())),
                     prop("showTextLable", true), prop("minValue", 0), prop("maxValue", 100), prop("defaultValue", 50),
                     prop("stepValue", 1), prop("sliderType", 0), prop("startAngle", 270), prop("endAngle", 270),
                     prop("rotateDir", 0), prop("eventAttrList", events)},
                    {text(uuid + "-value", QRect(g.x(), g.y() - 30, g.width(), 28), "50", 14),
                     button(uuid + "-handle", handle, "handle", "", events), rect(uuid + "-track", g, "#1f3c59")});
    }
    QJsonObject signalList(const QString &uuid, const QRect &g, const QStringList &groups)
    {
        return node("SignalListWidget", uuid,
                    {prop("sWidgetGeometry", rectValue(g.x(), g.y(), g.width(), g.height())), prop("perPageCount", 4),
                     prop("direction", 0), prop("space", 6), prop("isShowScrollbar", true),
                     prop("isShowTextLable", true), prop("linkedGroup", QJsonArray::fromStringList(groups)),
                     prop("isDragSlide", true), prop("isEnableDoubleClick", true), prop("fontFamily", "微软雅黑"),
                     prop("textSize", 14), prop("textColor", "#e8f0f8")},
                    {node("DataDockerWidget", uuid + "-cell",
                          {prop("sWidgetGeometry", rectValue(g.x(), g.y(), g.width() / 4, g.height())),
                           prop("imageFile", "./image/tile.png")})});
    }
    QJsonObject tree(const QString &uuid, const QRect &g, const QStringList &groups)
    {
        QJsonArray names;
        for (const QString &group : groups)
            names.append("input:signalGroup/" + group);
        return node("TreeWidget", uuid,
                    {prop("sWidgetGeometry", rectValue(g.x(), g.y(), g.width(), g.height())), prop("fontFamily", "微软雅黑"),
                     prop("textColor", "#dbe7f3"), prop("textSize", 16), prop("selectedFGColor", "#ffffff"),
                     prop("selectedBGColor", "#2f7fc1"), prop("topGroupNames", names)});
    }
    QJsonObject inputBox(const QString &uuid, const QRect &g, const QString &label, bool password = false,
                         const QString &linked = QString())
    {
        return node("InputBoxWidget", uuid,
                    {prop("label", label), prop("sWidgetGeometry", rectValue(g.x(), g.y(), g.width(), g.height())),
                     prop("enableVisible", true), prop("isPasswdMode", password), prop("isSearchMode", !linked.isEmpty()),
                     prop("linkedWidget", linked), prop("borderWidth", 1), prop("borderColor", "#4c7fae"),
                     prop("isMonoFilled", true), prop("monoColor", "#0d1b2a"), prop("fontFamily", "微软雅黑"),
                     prop("textColor", "#e8f0f8"), prop("textSize", 16)});
    }
    QJsonObject wall(const QString &uuid, int panel, const QRect &g, const QStringList &decoders)
    {
        QJsonArray cells;
        const int cw = g.width() / 2, ch = g.height() / 2;
        for (int i = 0; i < decoders.size(); ++i) {
            const int cx = i % 2, cy = i / 2;
            cells.append(node("TableCell", QStringLiteral("%1-cell-%2").arg(uuid).arg(i),
                              {prop("sWidgetGeometry", rectValue(g.x() + cx * cw, g.y() + cy * ch, cw, ch)),
                               prop("cellPos", QJsonObject{{"x", cx}, {"y", cy}}),
                               prop("virtualPos", QJsonObject{{"x", cx * 1920}, {"y", cy * 1080}}),
                               prop("virtualRes", QJsonObject{{"width", 1920}, {"height", 1080}}),
                               prop("deviceID", decoders.at(i))}));
        }
        QJsonArray quad, audio;
        for (int i = 0; i < decoders.size(); ++i) {
            const QString at = QStringLiteral("%1,%2 1920,1080").arg((i % 2) * 1920).arg((i / 2) * 1080);
            quad.append(at + " 2 " + decoders.at(i) + "(0)");
            audio.append(at + " 0 " + decoders.at(i) + "(0)");
        }
        const QJsonArray presets{QJsonObject{{"name", "Quad"}, {"value", quad}},
                                 QJsonObject{{"name", "Single"}, {"value", QJsonArray{"0,0 3840,2160 4 " + decoders.at(0) + "(0)"}}},
                                 QJsonObject{{"name", "audio_normal"}, {"value", audio}}};
        QJsonArray tools{rect(uuid + "-toolbar-bg", QRect(g.right() + 10, g.y(), 200, 300), "#10263b")};
        const char *labels[] = {"bt_clear", "bt_refresh", "bt_preset", "bt_line"};
        for (int i = 0; i < 4; ++i)
            tools.append(button(QStringLiteral("%1-%2").arg(uuid, labels[i]), QRect(g.right() + 20, g.y() + 10 + i * 70, 180, 60),
                                labels[i], labels[i], {}));
        const QJsonObject form = node("FormWidget", uuid + "-form",
                                      {prop("sWidgetGeometry", rectValue(g.x(), g.y(), g.width(), g.height())),
                                       prop("imageFile", states("./image/tile.png", "./image/tile.png")),
                                       prop("borderWidth", 2), prop("borderColor", "#3f6f9a")},
                                      cells);
        const QJsonObject toolbar = node("Group", uuid + "-toolbar",
                                         {prop("sWidgetGeometry", rectValue(g.right() + 10, g.y(), 200, 300)),
                                          prop("enableVisible", true)},
                                         tools);
        return node("VideoWallWidget", uuid,
                    {prop("panelID", QString::number(panel)),
                     prop("sWidgetGeometry", rectValue(g.x(), g.y(), g.width(), g.height())),
                     prop("isEnabledFullStopPreset", true), prop("isShowScenelistBtn", true), prop("isKvmVWall", false),
                     prop("isEnabledFreeStopPreset", true), prop("isEnabledUserStopPreset", true),
                     prop("isShowToolbar", true), prop("vdecMax", 4), prop("row", 2), prop("column", 2),
                     prop("vResolution", QJsonObject{{"width", 3840}, {"height", 2160}}), prop("presetMap", presets)},
                    {text(uuid + "-caption", QRect(g.x(), g.y() - 34, g.width(), 30), QStringLiteral("Wall %1").arg(panel)),
                     form, toolbar});
    }

    // The login page: the login widget with every item the client looks for, over `background`.
    QJsonObject loginPage(const QString &background)
    {
        QJsonArray kids{rect("login-box", QRect(660, 300, 600, 520), "#102a44")};
        const char *labels[] = {"UserInputBox", "PasswordInputBox", "HostIPInputBox", "ServerIPInputBox",
                                "DownloadInputBox"};
        for (int i = 0; i < 5; ++i)
            kids.append(inputBox(QStringLiteral("login-%1").arg(labels[i]), QRect(860, 400 + i * 56, 360, 44), labels[i],
                                 i == 1));
        kids.append(button("login-remember", QRect(700, 690, 220, 40), "RememberBtn", "Remember me", {}, false));
        kids.append(button("login-yes", QRect(940, 740, 130, 50), "YesBtn", "Log in", {}));
        kids.append(button("login-quit", QRect(1090, 740, 130, 50), "QuitBtn", "Quit", {}));
        const QJsonObject loginWidget = node("LoginWidget", "login-widget",
                                             {prop("sWidgetGeometry", rectValue(660, 300, 600, 520)),
                                              prop("hasServerDevice", true)},
                                             kids);
        return node("Page", "page-login",
                    {prop("objectName", "LoginPage"), prop("label", "LoginPage"),
                     prop("resolution", QJsonObject{{"width", 1920}, {"height", 1080}}), prop("imageFile", background),
                     prop("isImageFilled", true)},
                    {loginWidget});
    }

private:
    QString m_net;
    QString m_buttonUp = QStringLiteral("./image/btn_normal.png");
    QString m_buttonDown = QStringLiteral("./image/btn_pressed.png");
};

bool Generator::large(const QString &outDir, int pages)
{
    m_out = outDir;
    const int walls = qMin(8, pages);
    const int signalCount = 64;
    const int widgetsPerPage = 60;
    const QString n = m_net;
    LargeDesign d(n);

    // Decoders: walls 1 and 2 as in the lab package, walls 3 to 8 from .60 on; encoders from .100 on.
    auto decoderHost = [](int wall, int i) { return wall <= 2 ? 20 + (wall - 1) * 4 + i : 60 + (wall - 3) * 4 + i; };
    QJsonArray outputs{QJsonObject{{"IP", n + ".10(0)"}, {"Panel", "-1"}, {"NodeName", "Host node"}},
                       QJsonObject{{"IP", n + ".11(0)"}, {"Panel", "-1"}, {"NodeName", "Spare node"}}};
    QVector<QStringList> wallDecoders(walls);
    for (int w = 1; w <= walls; ++w)
        for (int i = 0; i < 4; ++i) {
            const int h = decoderHost(w, i);
            wallDecoders[w - 1].append(QStringLiteral("%1.%2").arg(n).arg(h));
            outputs.append(QJsonObject{{"IP", QStringLiteral("%1.%2(0)").arg(n).arg(h)},
                                       {"Panel", QString::number(w)},
                                       {"NodeName", QStringLiteral("Wall %1-%2").arg(w).arg(i + 1)}});
        }
    QJsonArray signalList;
    for (int s = 0; s < signalCount; ++s) {
        const int h = 100 + s;
        signalList.append(QJsonObject{
            {"IP", QStringLiteral("%1.%2(0)").arg(n).arg(h)},
            {"NodeName", QStringLiteral("Source %1").arg(s + 1, 2, 10, QChar('0'))},
            {"MainUrl", QStringLiteral("udp://239.10.1.%1:%2").arg(h).arg(30000 + h * 10)},
            {"Sub0Url", QStringLiteral("udp://239.10.2.%1:%2").arg(h).arg(30000 + h * 10 + 2)},
            {"JpegUrl", QStringLiteral("udp://239.10.3.%1:%2").arg(h).arg(30000 + h * 10 + 4)},
            {"Platform", ""}});
    }
    QJsonArray multi, groups{QJsonObject{{"name", "收藏"}, {"key", "favourites"}, {"list", QJsonArray()}}};
    QStringList groupNames{"收藏"};
    QJsonArray mosaicNames;
    for (int g = 0; g < 8; ++g) {
        QJsonArray members, cells;
        for (int i = 0; i < 8; ++i)
            members.append(QStringLiteral("%1.%2(0)").arg(n).arg(100 + g * 8 + i));
        for (int i = 0; i < 4; ++i)
            cells.append(QStringLiteral("%1.%2-0").arg(n).arg(100 + g * 8 + i));
        const QString name = QStringLiteral("Group %1").arg(g + 1);
        groups.append(QJsonObject{{"name", name}, {"key", QStringLiteral("group%1").arg(g + 1)}, {"list", members}});
        groupNames.append(name);
        const QString mosaic = QStringLiteral("Mosaic %1").arg(g + 1);
        multi.append(QJsonObject{{"name", mosaic}, {"type", "2x2"}, {"list", cells}});
        mosaicNames.append(mosaic);
    }
    groups.append(QJsonObject{{"name", "Mosaics"}, {"key", "mosaics"}, {"list", mosaicNames}});
    groupNames.append("Mosaics");

    // Pages.
    QJsonArray pageNodes{d.loginPage("./image/large/bg_00.png")};
    QJsonArray allPages, operatorPages;
    for (int p = 0; p < pages; ++p) {
        const QString pid = QStringLiteral("page-%1").arg(p + 1, 2, 10, QChar('0'));
        const QString next = QStringLiteral("page-%1").arg((p + 1) % pages + 1, 2, 10, QChar('0'));
        allPages.append(pid);
        if (p < (pages + 1) / 2)
            operatorPages.append(pid);
        QJsonArray items{d.rect(pid + "-header", QRect(0, 0, 1920, 80), "#16324f"),
                         d.text(pid + "-title", QRect(40, 15, 600, 50), QStringLiteral("Page %1").arg(p + 1), 26)};
        if (p < walls)
            items.append(d.wall(pid + "-wall", p + 1, QRect(340, 130, 1280, 720), wallDecoders.at(p)));
        // The rest fills a 10 × 6 grid of cells below the header (over the wall where there is one).
        for (int k = items.size(); k < widgetsPerPage; ++k) {
            const int cell = k - 2;
            const QRect g(20 + (cell % 10) * 190, 100 + (cell / 10) * 160, 170, 130);
            const QString uid = QStringLiteral("%1-w%2").arg(pid).arg(k, 2, 10, QChar('0'));
            switch (k % 8) {
            case 0:
                items.append(d.button(uid, g, "command", QStringLiteral("Cue %1").arg(k),
                                      {d.event("Clicked", "SendData",
                                               d.send(n + ".8", 9000, "Udp", "Hex",
                                                      QStringLiteral("AA 55 40 %1 %2 CC")
                                                          .arg(p & 0xff, 2, 16, QChar('0'))
                                                          .arg(k & 0xff, 2, 16, QChar('0'))
                                                          .toUpper()))}));
                break;
            case 1:
                items.append(d.button(uid, g, "nav", "Next page", {d.event("Clicked", "SwitchPage", next)}));
                break;
            case 2:
                items.append(d.text(uid, g, QStringLiteral("Label %1.%2").arg(p + 1).arg(k)));
                break;
            case 3:
                items.append(d.rect(uid, g, "#10263b"));
                break;
            case 4:
                items.append(d.slider(uid, QRect(g.x(), g.y() + 60, g.width(), 40), k));
                break;
            case 5:
                items.append(d.signalList(uid, g, {groupNames.at(1 + (p + k) % 8)}));
                break;
            case 6:
                items.append(d.tree(uid, g, {"收藏", groupNames.at(1 + p % 8), "Mosaics"}));
                break;
            default:
                items.append(d.button(uid, g, "command", QStringLiteral("Lights %1").arg(k),
                                      {d.event("ButtonPressed", "SendData",
                                               d.send(n + ".8", 9001, "Tcp", "ASCII", QStringLiteral("LIGHT %1 ON\r\n").arg(k))),
                                       d.event("ButtonRelease", "SendData",
                                               d.send(n + ".8", 9001, "Tcp", "ASCII", QStringLiteral("LIGHT %1 OFF\r\n").arg(k)))},
                                      false));
            }
        }
        pageNodes.append(d.node("Page", pid,
                                {prop("objectName", QStringLiteral("Page %1").arg(p + 1)),
                                 prop("resolution", QJsonObject{{"width", 1920}, {"height", 1080}}),
                                 prop("imageFile", QStringLiteral("./image/large/bg_%1.png").arg(p / 5, 2, 10, QChar('0'))),
                                 prop("isImageFilled", true), prop("isGlobalPage", false), prop("opacity", 100)},
                                items));
    }
    const QJsonObject design{{"ui", QJsonObject{{"item", pageNodes}}}, {"version", "1.14.8.0928"}};

    QJsonObject device{{"device", QJsonArray{QJsonObject{{"device", "output"}, {"list", outputs}},
                                             QJsonObject{{"device", "signal"}, {"list", signalList}}}},
                       {"multi_signal", multi},
                       {"signal_group", groups},
                       {"roles", labRoles(groupNames, allPages, operatorPages)},
                       {"users", labUsers()}};

    // Pictures: one noisy background per five pages (stored: they do not compress), small ones deflated.
    const int backgrounds = (pages + 4) / 5;
    m_pictures.append({"large/", {}, {}, {}, {}, 1, true});
    for (int b = 0; b < backgrounds; ++b) {
        Picture pic;
        pic.name = QStringLiteral("large/bg_%1.png").arg(b, 2, 10, QChar('0'));
        pic.draw = "noise";
        pic.size = QSize(1920, 1080);
        pic.colors = {QColor::fromHsv((b * 45) % 360, 160, 90), QColor::fromHsv((b * 45 + 30) % 360, 200, 40)};
        pic.seed = quint32(1000 + b);
        pic.deflate = false;
        m_pictures.append(pic);
    }
    m_pictures.append({"btn_normal.png", "button", {}, QSize(170, 130), {QColor("#24507a"), QColor("#17324d"), QColor("#3f6f9a")}, 1, true});
    m_pictures.append({"btn_pressed.png", "button", {}, QSize(170, 130), {QColor("#3b8fd8"), QColor("#2563a0"), QColor("#9cc8f0")}, 1, true});
    m_pictures.append({"tile.png", "frame", {}, QSize(320, 180), {QColor("#3f6f9a"), QColor("#13293f")}, 1, true});

    return writeDesignPackage("large design", "large.ds", descriptor1080(n), device, design, pageLanguage(pages));
}

// A Design 2.0 package checked as the sources are: descriptor, language, device file, design,
// the pictures in "image.zip" and the manifest. `what` names it in errors.
bool Generator::writeDesignPackage(const QString &what, const QString &descriptorName, const QJsonObject &descriptor,
                                   QJsonObject device, const QJsonObject &design, const QString &language)
{
    QByteArray languageGbk;
    QVector<QSize> sizes;
    if (!checkDesign(what, design) || !processDevice(&device) || !checkWalls(what, design) ||
        !descriptorSizes(descriptorName, descriptor, &sizes) || !languageBytes(what + " language", language, &languageGbk))
        return false;
    return write(descriptorName, QJsonDocument(descriptor).toJson(QJsonDocument::Indented)) &&
           write("language.txt", languageGbk) &&
           write("device.json", QJsonDocument(device).toJson(QJsonDocument::Indented)) &&
           writeDesigns(QString(), design, sizes) && writeArchive("image.zip") && writeManifest();
}

// ---------------------------------------------------------------------------------------
// Twin packages: the same pages as a Design 2.0 package and as an older controller's package,
// so that the two login paths can be timed on equal work. Every widget is written in both
// forms at once, the Design 2.0 node as the client's mapping of the older block makes it;
// only the matrix differs: the older form has a matrix item, Design 2.0 one latching button
// per crosspoint, grouped by output.

QString legacyPos(const QRect &r)
{
    return QStringLiteral("%1,%2,%3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

QString legacyClr(const QColor &c)
{
    return QStringLiteral("%1,%2,%3").arg(c.red()).arg(c.green()).arg(c.blue());
}

// "Name{", its lines (nested blocks included), "}".
QString legacyBlock(const QString &name, const QStringList &lines)
{
    return name + QStringLiteral("{\n") + lines.join('\n') + QStringLiteral("\n}");
}

// A first-generation command: hex bytes, to the address and port, over UDP or TCP.
QString legacyCmd(const QString &ip, int port, bool tcp, const QByteArray &bytes)
{
    return legacyBlock("Cmd", {"IP=" + ip, QStringLiteral("Port=%1").arg(port), tcp ? "Tcp=1" : "Tcp=0", "Hex=1", "Time=0",
                               "Data=" + QString::fromLatin1(bytes.toHex(' ').toUpper())});
}

// The pictures both forms name: few and small.
const Picture kTwinPictures[] = {
    {"twin_bg.png", "backdrop", {}, QSize(480, 270), {QColor("#0b1e33"), QColor("#1d4e7a")}, 31, true},
    {"panel_bg.png", "frame", {}, QSize(320, 180), {QColor("#3f6f9a"), QColor("#05090e")}, 32, true},
    {"btn_off.png", "button", {}, QSize(220, 50), {QColor("#24507a"), QColor("#17324d"), QColor("#3f6f9a")}, 33, true},
    {"btn_on.png", "button", {}, QSize(220, 50), {QColor("#e08a30"), QColor("#a05a18"), QColor("#ffd9a0")}, 34, true},
    {"knob.png", "glyph", "knob", QSize(60, 30), {QColor("#e8f0f8"), QColor("#00000000")}, 35, true},
};

const QColor kTwinText("#e8f0f8");
const QColor kTwinEdge("#3f6f9a");
const QColor kTwinPanel("#10263b");
const char kTwinFont[] = "微软雅黑";

// Two-colour button look: off (released, unchecked) and on (pressed, checked).
const QColor kTwinOff("#1c3d5e");
const QColor kTwinOn("#c87828");

// The lab's encoders: host, name, channel; .44 is the IP camera.
struct TwinSignal {
    int host;
    const char *name;
    int channel; // -1: the camera
};
const TwinSignal kTwinSignals[] = {
    {30, "Studio camera 1", 0}, {31, "Studio camera 2", 0}, {32, "Studio graphics", 0}, {33, "Studio playout", 0},
    {34, "Desk PC 1", 0},       {35, "Desk PC 2", 0},       {36, "Desk PC 3", 0},       {37, "Desk PC 4", 0},
    {38, "Gate camera", 0},     {39, "Car park camera", 0}, {40, "Lobby camera", 0},    {41, "Roof camera", 0},
    {42, "会议室 PC", 0},       {43, "会议室 笔记本", 1},   {44, "Dock camera-IPC", -1},
};
struct TwinGroup {
    const char *name;
    const char *key;
    QVector<int> hosts;
};
const TwinGroup kTwinGroups[] = {
    {"Studio", "studio", {30, 31, 32, 33}},
    {"Desktops", "desktops", {34, 35, 36, 37}},
    {"Cameras", "cameras", {38, 39, 40, 41, 44}},
    {"会议室", "meeting", {42, 43}},
};
// Mosaics: name and 2×2 cells row by row (0: empty).
const struct {
    const char *name;
    int cells[4];
} kTwinMosaics[] = {{"Studio quad", {30, 31, 32, 33}}, {"Lobby split", {40, 0, 38, 0}}};

// A signal's id as both forms name it ("NET.30-0", "NET.43-1", "NET.44-IPC").
QString twinSignalId(const QString &net, const TwinSignal &s)
{
    return s.channel < 0 ? QStringLiteral("%1.%2-IPC").arg(net).arg(s.host)
                         : QStringLiteral("%1.%2-%3").arg(net).arg(s.host).arg(s.channel);
}

const TwinSignal &twinSignal(int host)
{
    for (const TwinSignal &s : kTwinSignals)
        if (s.host == host)
            return s;
    return kTwinSignals[0];
}

// One page in both forms. Design 2.0 uuids start with the page id; older UUIDs are
// page × 1000 + n, and the wall's is the page number (its wall id).
class TwinPage {
public:
    TwinPage(const QString &net, int page, int pages) : m_d(net), m_net(net), m_page(page), m_pages(pages) {}

    static QString designId(int page) { return QStringLiteral("page-%1").arg(page, 2, 10, QChar('0')); }
    QString uid(const QString &name) const { return designId(m_page) + "-" + name; }
    QString legacyUuid(int n) const { return QString::number(m_page * 1000 + n); }

    QJsonArray items() const { return m_items; }
    QStringList blocks() const { return m_blocks; }

    QJsonObject textNode(const QString &name, const QRect &g, const QString &text, int size)
    {
        return m_d.node("TextWidget", uid(name),
                        {prop("sWidgetGeometry", rectValue(g.x(), g.y(), g.width(), g.height())), prop("text", text),
                         prop("enableVisible", true), prop("fontFamily", kTwinFont), prop("textColor", kTwinText.name()),
                         prop("textSize", size), prop("textAlignHorizontal", 4), prop("textAlignVertical", 128)});
    }
    QJsonObject rectNode(const QString &name, const QRect &g, const QColor &fill, const QString &picture = {})
    {
        return m_d.node("RectWidget", uid(name),
                        {prop("sWidgetGeometry", rectValue(g.x(), g.y(), g.width(), g.height())),
                         prop("imageFile", picture.isEmpty() ? QString() : "./image/" + picture), prop("borderWidth", 1),
                         prop("borderColor", kTwinEdge.name()), prop("opacity", 100), prop("isMonoFilled", true),
                         prop("monoColor", fill.name()), prop("isGradientFilled", false)});
    }
    QString rectBlock(const QRect &g, const QColor &fill, const QString &picture = {})
    {
        QStringList lines{"Pos=" + legacyPos(g)};
        if (!picture.isEmpty())
            lines.append("Pic=" + picture);
        lines << "EgWidth=1" << "EgClr=" + legacyClr(kTwinEdge) << "Clr=" + legacyClr(fill) << "Trans=100";
        return legacyBlock("BkRect", lines);
    }

    void rect(const QString &name, const QRect &g, const QColor &fill, const QString &picture = {})
    {
        m_items.append(rectNode(name, g, fill, picture));
        m_blocks.append(rectBlock(g, fill, picture));
    }

    void text(const QString &name, const QRect &g, const QString &s, int size)
    {
        m_items.append(textNode(name, g, s, size));
        m_blocks.append(legacyBlock("Text", {"Pos=" + legacyPos(g), "Clr=" + legacyClr(kTwinText), "Text=" + s, "Align=132",
                                             QStringLiteral("Font=%1").arg(kTwinFont), QStringLiteral("TextH=%1").arg(size)}));
    }

    void clock(const QRect &g)
    {
        const QString format = QStringLiteral("yyyy-MM-dd hh:mm:ss");
        m_items.append(m_d.node("DateWidget", uid("clock"),
                                {prop("sWidgetGeometry", rectValue(g.x(), g.y(), g.width(), g.height())), prop("text", ""),
                                 prop("dateFormat", format), prop("fontFamily", kTwinFont),
                                 prop("textColor", kTwinText.name()), prop("textSize", 22), prop("textAlignHorizontal", 4),
                                 prop("textAlignVertical", 128)}));
        m_blocks.append(legacyBlock("Time", {"Pos=" + legacyPos(g), "Clr=" + legacyClr(kTwinText), "Text=" + format,
                                             "Align=132", QStringLiteral("Font=%1").arg(kTwinFont), "TextH=22", "Type=1"}));
    }

    // A button in both forms. The older form's state 0 sends `release` (unchecking, when it
    // latches), state 1 `press` (checking); a click switches to `legacyPage` unless it is -1.
    struct Button {
        Button(const QString &n, const QRect &r, const QString &c) : name(n), g(r), caption(c) {}
        QString name;
        QRect g;
        QString caption;
        bool latching = false;
        int group = -1; // Design 2.0 only: the crosspoints of one output
        QJsonArray events;
        QStringList press, release; // older command blocks
        int legacyPage = -1;
    };
    QJsonObject buttonNode(const Button &b)
    {
        return m_d.node("ButtonWidget", uid(b.name),
                        {prop("label", b.name), prop("sWidgetGeometry", rectValue(b.g.x(), b.g.y(), b.g.width(), b.g.height())),
                         prop("enableVisible", true), prop("text", LargeDesign::states(b.caption, b.caption)),
                         prop("fontFamily", kTwinFont),
                         prop("textColor", LargeDesign::states(kTwinText.name(), kTwinText.name())), prop("textSize", 16),
                         prop("buttonGroup", b.group), prop("autoLift", !b.latching), prop("initialTrigger", false),
                         prop("imageFile", LargeDesign::states("./image/btn_off.png", "./image/btn_on.png")),
                         prop("borderWidth", 1), prop("borderColor", kTwinEdge.name()), prop("opacity", 100),
                         prop("isMonoFilled", LargeDesign::states(true, true)),
                         prop("monoColor", LargeDesign::states(kTwinOff.name(), kTwinOn.name())), prop("usingPolyState", 0),
                         prop("eventAttrList", b.events), prop("textAlignHorizontal", 4), prop("textAlignVertical", 128)});
    }
    QString buttonState(const Button &b, bool on, const QStringList &commands)
    {
        QStringList lines{"Text=" + b.caption, "Clr=" + legacyClr(kTwinText),
                          QStringLiteral("Pos=0,0,%1x%2").arg(b.g.width()).arg(b.g.height()),
                          legacyBlock("BkRect", {"Pos=" + legacyPos(b.g), on ? "Pic=btn_on.png" : "Pic=btn_off.png",
                                                 "Clr=" + legacyClr(on ? kTwinOn : kTwinOff), "EgWidth=1",
                                                 "EgClr=" + legacyClr(kTwinEdge)})};
        return legacyBlock("ButtonState", lines + commands);
    }
    void button(const Button &b, int legacyN)
    {
        m_items.append(buttonNode(b));
        m_blocks.append(legacyBlock("Button", {"UUID=" + legacyUuid(legacyN), "Default=0",
                                               QStringLiteral("PageSwitch=%1").arg(b.legacyPage), "Link=-1",
                                               b.latching ? "Mode=1" : "Mode=0", "LinkLayer=-1",
                                               buttonState(b, false, b.release), buttonState(b, true, b.press)}));
    }

    void navButton(const QString &name, const QRect &g, const QString &caption, int target, int legacyN)
    {
        Button b(name, g, caption);
        b.events = {LargeDesign::event("Clicked", "SwitchPage", designId(target))};
        b.legacyPage = target;
        button(b, legacyN);
    }

    // A momentary cue to the room controller: AA 55 40 page cue CC when pressed.
    void cueButton(const QRect &g, int cue, int legacyN)
    {
        const QByteArray frame = QByteArray::fromHex(
            QStringLiteral("AA5540%1%2CC").arg(m_page & 0xff, 2, 16, QChar('0')).arg(cue & 0xff, 2, 16, QChar('0')).toLatin1());
        Button b(QStringLiteral("cue-%1").arg(cue), g, QStringLiteral("Cue %1").arg(cue));
        b.events = {LargeDesign::event("ButtonPressed", "SendData",
                                       m_d.send(m_net + ".8", 9000, "Udp", "Hex", QString::fromLatin1(frame.toHex(' ').toUpper())))};
        b.press = QStringList{legacyCmd(m_net + ".8", 9000, false, frame)};
        button(b, legacyN);
    }

    // A latching line to the room controller's TCP port: `on` when checked, `off` when not.
    Button lineButton(const QString &name, const QRect &g, const QString &caption, const QString &on,
                      const QString &off = QString())
    {
        Button b(name, g, caption);
        b.latching = true;
        b.events = {LargeDesign::event("ButtonPressed", "SendData", m_d.send(m_net + ".8", 9001, "Tcp", "ASCII", on + "\r\n"))};
        b.press = QStringList{legacyCmd(m_net + ".8", 9001, true, on.toLatin1() + "\r\n")};
        if (!off.isEmpty()) {
            b.events.append(
                LargeDesign::event("ButtonRelease", "SendData", m_d.send(m_net + ".8", 9001, "Tcp", "ASCII", off + "\r\n")));
            b.release = QStringList{legacyCmd(m_net + ".8", 9001, true, off.toLatin1() + "\r\n")};
        }
        return b;
    }

    // The wall over the decoders, with its caption above and its toolbar below.
    void wall(const QRect &g, const QStringList &decoders)
    {
        const QString id = QString::number(m_page);
        const QRect caption(g.x(), g.y() - 34, g.width(), 30);
        const QRect bar(g.x(), g.bottom() + 7, g.width(), 36);
        const QString title = QStringLiteral("Wall %1").arg(m_page);
        // Layouts in wall pixels with their channel (1 by size, 2 main, 3 sub); Design 2.0
        // writes the channel as flags 2, 4, 8.
        const struct {
            const char *name;
            QVector<QVector<int>> windows; // x, y, w, h, chn
        } docks[] = {{"Halves", {{0, 0, 1920, 2160, 2}, {1920, 0, 1920, 2160, 2}}},
                     {"Centre", {{960, 540, 1920, 1080, 1}}}};

        QJsonArray cells, presets;
        QStringList nodeLines;
        const int cw = g.width() / 2, ch = g.height() / 2;
        for (int i = 0; i < decoders.size(); ++i) {
            const int cx = i % 2, cy = i / 2;
            cells.append(m_d.node("TableCell", uid(QStringLiteral("wall-cell-%1").arg(i)),
                                  {prop("sWidgetGeometry", rectValue(g.x() + cx * cw, g.y() + cy * ch, cw, ch)),
                                   prop("cellPos", QJsonObject{{"x", cx}, {"y", cy}}),
                                   prop("virtualPos", QJsonObject{{"x", cx * 1920}, {"y", cy * 1080}}),
                                   prop("virtualRes", QJsonObject{{"width", 1920}, {"height", 1080}}),
                                   prop("deviceID", decoders.at(i))}));
            nodeLines.append(QStringLiteral("NodePos=%1,%2,%3,%4,1920x1080").arg(cx).arg(cy).arg(cx * 1920).arg(cy * 1080));
        }
        for (int i = 0; i < decoders.size(); ++i)
            nodeLines.append(QStringLiteral("NodeIP=%1,%2,%3").arg(i % 2).arg(i / 2).arg(decoders.at(i)));
        QStringList dockBlocks;
        for (const auto &dock : docks) {
            QJsonArray windows;
            QStringList lines{QStringLiteral("Name=%1").arg(dock.name)};
            for (const QVector<int> &w : dock.windows) {
                windows.append(QStringLiteral("%1,%2 %3,%4 %5").arg(w[0]).arg(w[1]).arg(w[2]).arg(w[3]).arg(2 << (w[4] - 1)));
                lines.append(QStringLiteral("DockPos=%1,%2,%3,%4,%5").arg(w[0]).arg(w[1]).arg(w[2]).arg(w[3]).arg(w[4]));
            }
            presets.append(QJsonObject{{"name", dock.name}, {"value", windows}});
            dockBlocks.append(legacyBlock("Dock", lines));
        }
        presets.append(QJsonObject{{"name", "audio_normal"}, {"value", QJsonArray{"0,0 3840,2160 0"}}});

        const QJsonObject form = m_d.node("FormWidget", uid("wall-form"),
                                          {prop("sWidgetGeometry", rectValue(g.x(), g.y(), g.width(), g.height())),
                                           prop("imageFile", LargeDesign::states("./image/panel_bg.png", "./image/panel_bg.png")),
                                           prop("borderWidth", 1), prop("borderColor", kTwinEdge.name()),
                                           prop("monoColor", LargeDesign::states("#000000", "#000000"))},
                                          cells);
        const QJsonObject toolbar = m_d.node("Group", uid("wall-toolbar"),
                                             {prop("sWidgetGeometry", rectValue(bar.x(), bar.y(), bar.width(), bar.height())),
                                              prop("enableVisible", true)},
                                             {rectNode("wall-toolbar-bg", bar, kTwinPanel)});
        m_items.append(m_d.node(
            "VideoWallWidget", uid("wall"),
            {prop("panelID", id), prop("sWidgetGeometry", rectValue(g.x(), g.y(), g.width(), g.height())),
             prop("isEnabledFullStopPreset", true), prop("isShowScenelistBtn", true), prop("isKvmVWall", false),
             prop("isEnabledFreeStopPreset", true), prop("isEnabledUserStopPreset", true), prop("isShowPreludeBtn", false),
             prop("isShowScrollTextBtn", true), prop("isShowToolbar", true), prop("vdecMax", 4), prop("row", 2),
             prop("column", 2), prop("vResolution", QJsonObject{{"width", 3840}, {"height", 2160}}), prop("presetMap", presets)},
            {textNode("wall-caption", caption, title, 20), form, toolbar}));

        QStringList panel{"UUID=" + id, "Mode=0", "SceneEn=1", "PublishEn=0", "TopEn=1", "FreeEn=1", "DockEn=1",
                          "OSDEn=1", "FullEn=1", "ToolBarEn=1", "Stream=4", "EgMode=0", "Clone=0", "Scale=2x2",
                          "Size=3840x2160"};
        panel += nodeLines;
        panel.append(legacyBlock("Text", {"Text=" + title, "Clr=" + legacyClr(kTwinText), "Pos=" + legacyPos(caption)}));
        panel.append(rectBlock(g, QColor("#000000"), "panel_bg.png"));
        panel += dockBlocks;
        panel.append(legacyBlock("AudioArea", {"DockPos=0,0,3840,2160,0"}));
        panel.append(legacyBlock("ToolBar", {"Mode=0", "Fix=1", rectBlock(bar, kTwinPanel)}));
        m_blocks.append(legacyBlock("Panel", panel));
    }

    // A vertical signal list of `groups` with a search box above it.
    void signalList(const QRect &search, const QRect &g, const QStringList &groups)
    {
        const QString listId = uid("signals");
        m_items.append(m_d.node(
            "InputBoxWidget", uid("search"),
            {prop("label", "SearchBox"), prop("sWidgetGeometry", rectValue(search.x(), search.y(), search.width(), search.height())),
             prop("enableVisible", true), prop("isPasswdMode", false), prop("isSearchMode", true),
             prop("linkedWidget", listId), prop("borderWidth", 1), prop("borderColor", kTwinEdge.name()),
             prop("isMonoFilled", true), prop("monoColor", "#ffffff"), prop("fontFamily", kTwinFont),
             prop("textColor", "#0d1b2a"), prop("textSize", 16)}));
        m_items.append(m_d.node(
            "SignalListWidget", listId,
            {prop("sWidgetGeometry", rectValue(g.x(), g.y(), g.width(), g.height())), prop("perPageCount", 5),
             prop("direction", 1), prop("space", 8), prop("isShowScrollbar", true), prop("isShowTextLable", true),
             prop("linkedGroup", QJsonArray::fromStringList(groups)), prop("isDragSlide", true),
             prop("isEnableDoubleClick", true), prop("fontFamily", kTwinFont), prop("textSize", 14),
             prop("textColor", kTwinText.name()), prop("borderWidth", 1), prop("borderColor", kTwinEdge.name()),
             prop("isMonoFilled", true), prop("monoColor", kTwinPanel.name())},
            {m_d.node("DataDockerWidget", uid("signals-cell"),
                      {prop("sWidgetGeometry", rectValue(g.x(), g.y(), g.width(), g.height() / 5)),
                       prop("imageFile", "./image/panel_bg.png")})}));

        const QString previewUuid = legacyUuid(1);
        m_blocks.append(legacyBlock(
            "Preview", {"Mode=0", "UUID=" + previewUuid, "WinNum=5", "WinOffset=8", "TextOffset=20", "TextOffsetX=4",
                        "Padding=8", "DragEn=1", QStringLiteral("ScenePanel=%1").arg(m_page), "SceneMatirx=0",
                        "TextClr=" + legacyClr(kTwinText), "ScrollW=8", "ScrollClr=" + legacyClr(kTwinEdge),
                        "ScrollTrans=60", "AudioEn=0", "GroupList=" + groups.join('|'),
                        legacyBlock("Label", {"Size=140", "TextClr=" + legacyClr(kTwinText), "SelTextClr=255,255,255"}),
                        rectBlock(g, kTwinPanel)}));
        m_blocks.append(legacyBlock("SearchBox", {"LinkUUID=" + previewUuid, rectBlock(search, QColor("#ffffff"))}));
    }

    // A vertical volume slider (AA 55 03 10 value CC) with its caption, track and knob.
    void slider(const QRect &g, int legacyN)
    {
        const QRect caption(g.x() - 30, g.y() - 34, g.width() + 60, 28);
        const QRect knob(g.x(), g.y(), g.width(), 30);
        const QString data = QStringLiteral("AA 55 03 10 $V CC");
        const QJsonArray events{LargeDesign::event("Sliding", "SendData",
                                                   m_d.send(m_net + ".8", 9000, "Udp", "Hex", data, QJsonObject{{"$V", ""}}))};
        m_items.append(m_d.node(
            "SliderWidget", uid("volume"),
            {prop("sWidgetGeometry", rectValue(g.x(), g.y(), g.width(), g.height())), prop("enableVisible", true),
             prop("showTextLable", true), prop("minValue", 0), prop("maxValue", 100), prop("sliderType", 1),
             prop("startAngle", 0), prop("endAngle", 0), prop("rotateDir", 0), prop("eventAttrList", events)},
            {textNode("volume-caption", caption, "Volume", 16),
             m_d.node("ButtonWidget", uid("volume-handle"),
                      {prop("label", "handle"), prop("sWidgetGeometry", rectValue(knob.x(), knob.y(), knob.width(), knob.height())),
                       prop("imageFile", LargeDesign::states("./image/knob.png", "./image/knob.png"))}),
             rectNode("volume-track", g, kTwinPanel)}));
        m_blocks.append(legacyBlock(
            "Slider",
            {"Min=0", "Max=100", "Mode=1", "Text_en=1", "UUID=" + legacyUuid(legacyN), "StartAngle=0", "TotalAngle=0",
             legacyBlock("Text", {"Text=Volume", "Clr=" + legacyClr(kTwinText), "Pos=" + legacyPos(caption)}),
             rectBlock(g, kTwinPanel),
             legacyBlock("Button",
                         {"UUID=" + legacyUuid(legacyN + 1),
                          legacyBlock("ButtonState",
                                      {"Text=", QStringLiteral("Pos=0,0,%1x%2").arg(knob.width()).arg(knob.height()),
                                       legacyBlock("BkRect", {"Pos=" + legacyPos(knob), "Pic=knob.png"}),
                                       legacyBlock("Cmd", {"IP=" + m_net + ".8", "Port=9000", "Hex=1", "Key=$V", "Data=" + data})}),
                          legacyBlock("ButtonState",
                                      {"Text=", QStringLiteral("Pos=0,0,%1x%2").arg(knob.width()).arg(knob.height())})})}));
    }

    // The hall level (-60 to 0 dB), asked for every second with AA 55 10 01 CC.
    void level(const QRect &g, int legacyN)
    {
        const QRect caption(g.x() - 30, g.y() - 34, g.width() + 60, 28);
        const QJsonObject send{{"ip", m_net + ".8"}, {"port", 9000}, {"type", "Hex"}, {"protocol", "Udp"},
                               {"data", "AA 55 10 01 CC"}, {"bit", "8"}, {"mode", ""}};
        const QJsonObject recv{{"ip", m_net + ".8"}, {"port", 9010}, {"type", "HEX"}, {"protocol", "Udp"},
                               {"data", "aa559001$Lcc"}, {"bit", "8"}, {"mode", ""}, {"precision", 0},
                               {"wildcard", QJsonArray{"$L"}}, {"percentage", false}};
        m_items.append(m_d.node(
            "DataDockerWidget", uid("level"),
            {prop("sWidgetGeometry", rectValue(g.x(), g.y(), g.width(), g.height())), prop("dataDockerType", 2),
             prop("dataMinValue", -60), prop("dataMaxValue", 0), prop("isShowLable", true),
             prop("eventAttrList",
                  QJsonArray{QJsonObject{{"action", "Timer"}, {"behavior", "SendData"}, {"delay", 1000}, {"loop", 1},
                                         {"value", QJsonObject{{"send", send}, {"recv", recv}}}}})},
            {textNode("level-caption", caption, "Level", 16),
             m_d.node("DataDocker", uid("level-bk"),
                      {prop("sWidgetGeometry", rectValue(g.x(), g.y(), g.width(), g.height())),
                       prop("borderWidth", 1), prop("borderColor", kTwinEdge.name()), prop("isMonoFilled", true),
                       prop("monoColor", "#0a3c14")})}));
        m_blocks.append(legacyBlock(
            "Listen", {"Min=-60", "Max=0", "Mode=0", "UUID=" + legacyUuid(legacyN), "Text_en=1",
                       legacyBlock("Text", {"Text=Level", "Clr=" + legacyClr(kTwinText), "Pos=" + legacyPos(caption)}),
                       rectBlock(g, QColor("#0a3c14")),
                       legacyBlock("Cmd", {"IP=" + m_net + ".8", "Port=9000", "Hex=1", "Time=1000", "Data=AA 55 10 01 CC",
                                           "Key=AA 55 90 01"})}));
    }

    // The 4 × 4 audio matrix: "MTX OUTr INc" over TCP 9001.
    void matrix(const QRect &g, int legacyN)
    {
        const char *inputs[] = {"Mic 1", "Mic 2", "PC audio", "Media"};
        const char *outputs[] = {"Hall", "Lobby", "Record", "Monitor"};
        // The older matrix draws its own background; here the group holds the crosspoints only.
        QJsonArray group;
        const int cw = (g.width() - 10) / 4, ch = (g.height() - 10) / 4;
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 4; ++c) {
                Button b = lineButton(QStringLiteral("matrix-%1-%2").arg(r + 1).arg(c + 1),
                                      QRect(g.x() + 5 + c * cw, g.y() + 5 + r * ch, cw - 6, ch - 6),
                                      QStringLiteral("%1 → %2").arg(inputs[c], outputs[r]),
                                      QStringLiteral("MTX OUT%1 IN%2").arg(r + 1).arg(c + 1));
                b.group = 10 + r;
                group.append(buttonNode(b));
            }
        }
        m_items.append(m_d.node("Group", uid("matrix"),
                                {prop("sWidgetGeometry", rectValue(g.x(), g.y(), g.width(), g.height())),
                                 prop("enableVisible", true)},
                                group));

        QStringList xs, ys;
        for (int i = 0; i < 4; ++i) {
            xs.append(QStringLiteral("%1.8;%2;%3").arg(m_net, inputs[i]).arg(i + 1));
            ys.append(QStringLiteral("%1.8;%2;%3").arg(m_net, outputs[i]).arg(i + 1));
        }
        m_blocks.append(legacyBlock(
            "Matrix",
            {"Scale=4x4", "FullLine=0", "SpaceX=6", "SpaceY=6", "TextClr=" + legacyClr(kTwinText), "EgWidth=1",
             "EgClr=" + legacyClr(kTwinEdge), "ToolBarEn=0", "SceneEn=1", "UUID=" + legacyUuid(legacyN),
             "XList=" + xs.join('|'), "YList=" + ys.join('|'), rectBlock(g, kTwinPanel),
             legacyBlock("Button",
                         {"UUID=" + legacyUuid(legacyN + 1),
                          legacyBlock("ButtonState", {"Text=", legacyBlock("BkRect", {"Clr=" + legacyClr(kTwinOff)}),
                                                      legacyBlock("Cmd", {"IP=0.0.0.0", "IPStr=$X_IP", "Port=9001", "Tcp=1",
                                                                          "Data=MTX OUT$Y_CD1 IN$X_CD1"})}),
                          legacyBlock("ButtonState", {"Text=", legacyBlock("BkRect", {"Clr=" + legacyClr(kTwinOn)})})})}));
    }

    // Everything of the page, laid out on 1920 × 1080.
    void fill(const QStringList &decoders, const QStringList &groups)
    {
        rect("bg", QRect(0, 0, 1920, 1080), QColor("#0b1e33"), "twin_bg.png");
        text("title", QRect(40, 16, 600, 48), QStringLiteral("Page %1").arg(m_page), 28);
        clock(QRect(1560, 16, 320, 48));
        navButton("previous", QRect(1040, 20, 220, 44), "Previous", (m_page + m_pages - 2) % m_pages + 1, 2);
        navButton("next", QRect(1280, 20, 220, 44), "Next", m_page % m_pages + 1, 3);
        signalList(QRect(20, 100, 300, 40), QRect(20, 150, 300, 910), groups);
        wall(QRect(340, 130, 1120, 630), decoders);
        text("matrix-title", QRect(340, 806, 1120, 28), "Audio matrix", 18);
        matrix(QRect(340, 840, 1120, 220), 10);
        rect("controls", QRect(1480, 100, 420, 960), kTwinPanel);
        cueButton(QRect(1580, 130, 220, 50), 1, 4);
        button(lineButton("lights", QRect(1580, 200, 220, 50), "Lights", QStringLiteral("LIGHT %1 ON").arg(m_page),
                          QStringLiteral("LIGHT %1 OFF").arg(m_page)),
               5);
        slider(QRect(1560, 340, 60, 400), 6);
        level(QRect(1760, 340, 60, 400), 8);
    }

private:
    LargeDesign m_d;
    QString m_net;
    int m_page;  // from 1
    int m_pages;
    QJsonArray m_items;
    QStringList m_blocks;
};

bool Generator::twin(const QString &outDir, int pages)
{
    const QString n = m_net;
    const QStringList wallDecoders[2] = {
        {n + ".20", n + ".21", n + ".22", n + ".23"},
        {n + ".24", n + ".25", n + ".26", n + ".27"},
    };
    const QStringList pageGroups[2] = {{"Studio", "Desktops"}, {"Cameras", "会议室"}};

    // Pages: the walls alternate over the lab's two walls (each page has a wall id of its own).
    LargeDesign d(n);
    d.setButtonPictures("./image/btn_off.png", "./image/btn_on.png");
    QJsonArray pageNodes{d.loginPage("./image/twin_bg.png")};
    QJsonArray allPages, operatorPages;
    QStringList legacyPages;
    QStringList operatorLegacy, allLegacy;
    for (int p = 1; p <= pages; ++p) {
        TwinPage page(n, p, pages);
        page.fill(wallDecoders[(p - 1) % 2], pageGroups[(p - 1) % 2]);
        const QString name = QStringLiteral("Page %1").arg(p);
        pageNodes.append(d.node("Page", TwinPage::designId(p),
                                {prop("objectName", name), prop("resolution", QJsonObject{{"width", 1920}, {"height", 1080}}),
                                 prop("isNoFilled", true), prop("isGlobalPage", false), prop("opacity", 100)},
                                page.items()));
        legacyPages.append(legacyBlock("Page", QStringList{QStringLiteral("ID=%1").arg(p), "Name=" + name} + page.blocks()));
        allPages.append(TwinPage::designId(p));
        allLegacy.append(QString::number(p));
        if (p <= (pages + 1) / 2) {
            operatorPages.append(TwinPage::designId(p));
            operatorLegacy.append(QString::number(p));
        }
    }
    const QJsonObject design{{"ui", QJsonObject{{"item", pageNodes}}}, {"version", "1.14.8.0928"}};

    // Devices: the lab's host, spare node, two walls of four decoders, fifteen signals.
    QJsonArray outputs{QJsonObject{{"IP", n + ".10(0)"}, {"Panel", "-1"}, {"NodeName", "Host node"}},
                       QJsonObject{{"IP", n + ".11(0)"}, {"Panel", "-1"}, {"NodeName", "Spare node"}}};
    QStringList transmit;
    for (int w = 0; w < 2; ++w)
        for (int i = 0; i < 4; ++i) {
            outputs.append(QJsonObject{{"IP", wallDecoders[w].at(i) + "(0)"}, {"Panel", QString::number(w + 1)},
                                       {"NodeName", QStringLiteral("Wall %1-%2").arg(QChar('A' + w)).arg(i + 1)}});
            transmit.append(QStringLiteral("%1,%2,%3,0,%4").arg(w + 1).arg(i % 2).arg(i / 2).arg(wallDecoders[w].at(i)));
        }
    transmit.append("-1,0,0,0,0.0.0.0");
    QJsonArray signalList;
    QStringList inNodes;
    for (const TwinSignal &s : kTwinSignals) {
        const int h = s.host;
        const QString main = s.channel < 0 ? QStringLiteral("rtsp://%1.%2:554/stream1").arg(n).arg(h)
                                           : QStringLiteral("udp://239.10.1.%1:%2").arg(h).arg(30000 + h * 10);
        const QString sub = s.channel < 0 ? QStringLiteral("rtsp://%1.%2:554/stream2").arg(n).arg(h)
                                          : QStringLiteral("udp://239.10.2.%1:%2").arg(h).arg(30000 + h * 10 + 2);
        const QString snapshot = s.channel < 0 ? sub : QStringLiteral("udp://239.10.3.%1:%2").arg(h).arg(30000 + h * 10 + 4);
        QJsonObject entry{{"NodeName", s.name}, {"MainUrl", main}, {"Sub0Url", sub}, {"JpegUrl", snapshot}, {"Platform", ""}};
        if (s.channel < 0) {
            entry["IP"] = QStringLiteral("%1.%2").arg(n).arg(h);
            entry["Platform"] = "onvif";
        } else {
            entry["IP"] = QStringLiteral("%1.%2(%3)").arg(n).arg(h).arg(s.channel);
        }
        if (s.channel == 1)
            entry["InNodeNames"] = QJsonObject{{"0", s.name}, {"1", s.name}};
        signalList.append(entry);
        // The older form writes the snapshot group without its scheme.
        inNodes.append(QStringList{twinSignalId(n, s), QStringLiteral("%1.%2").arg(n).arg(h), main, sub,
                                   s.channel < 0 ? snapshot : snapshot.mid(6)}
                           .join(','));
    }
    QJsonArray multi, groups{QJsonObject{{"name", "收藏"}, {"key", "favourites"}, {"list", QJsonArray()}}};
    QStringList groupNames{"收藏"}, multiLines, groupBlocks;
    QJsonArray mosaicNames;
    for (const auto &m : kTwinMosaics) {
        QJsonArray cells;
        QStringList columns[2];
        for (int i = 0; i < 4; ++i) {
            const QString id = m.cells[i] ? twinSignalId(n, twinSignal(m.cells[i])) : QString();
            cells.append(id);
            columns[i % 2].append(id);
        }
        multi.append(QJsonObject{{"name", m.name}, {"type", "2x2"}, {"list", cells}});
        mosaicNames.append(m.name);
        multiLines.append(QStringList{m.name, columns[0].join('|'), columns[1].join('|')}.join(','));
    }
    for (const TwinGroup &g : kTwinGroups) {
        QJsonArray members;
        QStringList ids;
        for (int h : g.hosts) {
            const TwinSignal &s = twinSignal(h);
            members.append(s.channel < 0 ? QStringLiteral("%1.%2").arg(n).arg(h)
                                         : QStringLiteral("%1.%2(%3)").arg(n).arg(h).arg(s.channel));
            ids.append(twinSignalId(n, s));
        }
        groups.append(QJsonObject{{"name", g.name}, {"key", g.key}, {"list", members}});
        groupNames.append(g.name);
        groupBlocks.append(legacyBlock("SignalGroup", {QStringLiteral("Name=%1").arg(g.name), "SignalID=" + ids.join(','),
                                                       "MultiList="}));
    }
    groups.append(QJsonObject{{"name", "Mosaics"}, {"key", "mosaics"}, {"list", mosaicNames}});
    groupNames.append("Mosaics");
    groupBlocks.append(legacyBlock("SignalGroup", {"Name=Mosaics", "SignalID=", "MultiList=0,1"}));

    const QJsonObject device{
        {"device", QJsonArray{QJsonObject{{"device", "output"}, {"list", outputs}},
                              QJsonObject{{"device", "signal"}, {"list", signalList}},
                              QJsonObject{{"device", "centralControl"},
                                          {"list", QJsonArray{QJsonObject{{"IP", n + ".8"}, {"NodeName", "Room controller"},
                                                                          {"UdpPort", 9000}, {"TcpPort", 9001}}}}}}},
        {"multi_signal", multi},
        {"signal_group", groups},
        {"roles", labRoles(groupNames, allPages, operatorPages)},
        {"users", labUsers()}};

    // The older form: each user is its own role with its own page list.
    QStringList config{"Encrypt=1"};
    for (const Account &a : kLabAccounts) {
        const QStringList &list = QLatin1String(a.role) == QLatin1String("admin") ? allLegacy : operatorLegacy;
        config.append(legacyBlock("User", {QStringLiteral("Name=%1").arg(a.name),
                                           QStringLiteral("Password_clear=%1").arg(a.password), "PageList=" + list.join('|')}));
    }
    QStringList pictureNames;
    for (const Picture &pic : kTwinPictures)
        pictureNames.append(pic.name);
    const QString language = pageLanguage(pages);
    config << legacyBlock("PicFiles", {pictureNames.join('|')})
           << legacyBlock("Language", language.split('\n', Qt::SkipEmptyParts)) << legacyBlock("TransmitNodes", transmit)
           << legacyBlock("InNodes", inNodes) << legacyBlock("MultiInNodes", multiLines);
    config += groupBlocks;
    config.append(legacyBlock("UI", QStringList{"UISize=1920x1080", "SysEn=1"} + legacyPages));

    for (const Picture &pic : kTwinPictures)
        m_pictures.append(pic);
    Generator older;
    older.m_net = m_net;
    older.m_pictures = m_pictures;
    older.m_out = QDir(outDir).filePath("legacy");
    m_out = QDir(outDir).filePath("design");
    if (!writeDesignPackage("twin design", "twin.ds", descriptor1080(n), device, design, language))
        return false;
    if (!older.writeLegacyPackage("twin config_host.cfg", config.join('\n') + '\n'))
        return fail(older.error());
    return true;
}

int usageError(const QString &message)
{
    std::fprintf(stderr, "kora-samplegen: %s (try --help)\n", qPrintable(message));
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QString source, out, net, version;
    bool large = false, twin = false;
    int pages = 0;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (a == "--large" || a == "--twin") {
            (a == "--large" ? large : twin) = true;
            continue;
        }
        if (a != "--source" && a != "--out" && a != "--net" && a != "--version" && a != "--pages")
            return usageError(QStringLiteral("unknown argument \"%1\"").arg(a));
        if (i + 1 >= args.size() || args.at(i + 1).startsWith("--"))
            return usageError(QStringLiteral("%1 needs a value").arg(a));
        const QString value = args.at(++i);
        if (a == "--source")
            source = value;
        else if (a == "--out")
            out = value;
        else if (a == "--net")
            net = value;
        else if (a == "--version")
            version = value;
        else {
            bool ok = false;
            pages = value.toInt(&ok);
            if (!ok || pages < 1 || pages > 200)
                return usageError(QStringLiteral("--pages wants a number from 1 to 200, not \"%1\"").arg(value));
        }
    }
    if (int(large) + int(twin) + int(!source.isEmpty()) != 1)
        return usageError(QStringLiteral("give either --source DIR, --large or --twin"));
    if (pages > 0 && !large && !twin)
        return usageError(QStringLiteral("--pages belongs to --large and --twin"));
    if (out.isEmpty())
        return usageError(QStringLiteral("--out DIR is missing"));

    Generator gen;
    if (!version.isEmpty())
        gen.setVersion(version);
    const bool ok = (net.isEmpty() || gen.setNet(net)) &&
                    (large ? gen.large(out, pages > 0 ? pages : 40)
                           : twin ? gen.twin(out, pages > 0 ? pages : 3) : gen.fromSource(source, out));
    if (!ok) {
        QString message = gen.error();
        message.replace('\n', ' ');
        std::fprintf(stderr, "kora-samplegen: %s\n", qPrintable(message));
        return 1;
    }
    return 0;
}
