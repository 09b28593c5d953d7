#pragma once
// Peers send ids and numbers as JSON text or as JSON numbers; both read as the same text.
#include <QJsonValue>
#include <QString>

namespace kora {

// A string as it is, an integral number without fraction ("12"), another number with up to
// 15 significant digits; empty for anything else.
QString jsonText(const QJsonValue &value);

} // namespace kora
