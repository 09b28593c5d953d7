#pragma once
// The small readers of the project package that run before the device and design files:
// the descriptor that picks the design resolution, the older picture container, and the
// key lookup of block text.
#include <QByteArray>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

namespace kora::package {

// The "client.ui" resolution whose width/height is closest to `aspect` (the first one on a
// tie); an invalid size when the descriptor does not parse or offers none usable.
QSize chooseDesignSize(const QByteArray &descriptor, float aspect);

// "pic.dat": records of a 4-byte little-endian length and that many bytes; a record that
// runs past the end ends the list.
QList<QByteArray> cutPictureContainer(const QByteArray &data);

// The value of key K in block text: the first line at depth 0 whose text before the first
// "=" is K; the value is between the first and the second "=". Empty when missing.
QString blockValue(const QString &text, const QString &key);
// Every such value in text order (node positions and dock windows repeat their key).
QStringList blockValues(const QString &text, const QString &key);

} // namespace kora::package
