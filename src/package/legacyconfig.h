#pragma once
// "config_host.cfg", the block text that older controllers send instead of the JSON package:
// users, the password form, picture names, translations, signals, multi-signals, groups,
// decoders and the pages of the "UI" block. Read in one pass into plain records; the
// controller object applies them in its order.
#include "model/records.h"
#include "settings/translations.h"

#include <QSize>
#include <QString>
#include <QStringList>
#include <vector>

namespace kora::package {

struct LegacyPage {
    QString id;
    QString name;
    QString text; // the "Page" block, for the older page reader
};

struct LegacyConfig {
    std::vector<UserRecord> users;
    std::vector<RoleRecord> roles; // one per user, named after it
    bool encrypted = false;
    QString encryptValue;
    QStringList pictureNames;           // "PicFiles", in picture container order
    TranslationTable translations;      // the first "Language" block
    std::vector<OutputRecord> outputs;  // "TransmitNodes"
    std::vector<SignalRecord> signalList;
    std::vector<MultiSignalRecord> multiSignals;
    std::vector<SignalGroupRecord> groups;
    bool hasUi = false;
    QSize designSize;   // "UISize"; invalid when absent or malformed
    int sysEn = 0;      // "SysEn"
    QString uiText;     // the first "UI" block (its global widgets)
    std::vector<LegacyPage> pages;
};

LegacyConfig parseLegacyConfig(const QString &text);

} // namespace kora::package
