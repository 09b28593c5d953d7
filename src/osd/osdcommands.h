#pragma once
// On-screen text of the walls as pure functions: the subtitle commands in both forms, the
// subtitle state kept on the controller side, where on the wall a subtitle goes, the
// per-input label of an encoder, and the clock commands. The controller object reads the
// dialog's map, sends what these return and logs it; nothing here touches a socket.
//
// Two subtitle forms:
//  - Image: the client renders the text into a picture (osdframe.h), uploads it to the
//    decoders, and the command only says where and how to show it.
//  - Text: the decoders render the text themselves from the fields of the command.
#include "design/designbuild.h"

#include <QByteArray>
#include <QFont>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <optional>

namespace kora::osd {

enum class Form { Image, Text };

// The file name under which the rendered subtitle picture is uploaded.
inline const QString kSubtitleFile = QStringLiteral("osd1.yuv");

// A number from the dialog, which hands over wall pixels as text or as numbers; rounded.
int number(const QVariant &value);

// A subtitle is one line of text in one decoder row. Larger values, typed or handed back
// from the stored state, would only make the window's thread draw a picture of a gigabyte.
constexpr int kMaxSubtitleHeight = 2160;
constexpr int kMaxSubtitleWidth = 8192;
// The map with "height" and "width" within 0 … their bound; `changed` tells whether one was
// outside.
QVariantMap boundedSubtitle(const QVariantMap &osdMap, bool *changed = nullptr);
// Why the text form cannot carry the map's text (a double quote would end its field before
// the text does); empty when it can.
QString textFormRefusal(const QVariantMap &osdMap);

// Colours as the decoders want them: "#FF" and the colour text without its first character,
// so "#rrggbb" becomes "#FFrrggbb".
QString decoderColour(const QString &colour);

// The width of the subtitle picture: the measured text width raised to an even number.
int evenWidth(int measuredWidth);
int textWidth(const QFont &font, const QString &text);
// The x that centres a text of `textWidth` on a wall `wallWidth` pixels wide.
int middleX(int wallWidth, int textWidth);
// The font of a dialog map's "font" value; the application font when there is none.
QFont dialogFont(const QVariantMap &osdMap);
// The x the subtitle starts at: the map's "x", or centred on the wall when "middle" is set
// (image form only: the text form has no font to measure).
int subtitleX(const QVariantMap &osdMap, Form form, int wallWidth);

// Which decoder row a subtitle at wall y falls into, and the y inside that row.
struct RowPlacement {
    int row = 0;
    int y = 0;
    bool operator==(const RowPlacement &o) const { return row == o.row && y == o.y; }
};
// Rows are walked from the top; a y equal to a row's height still lies in that row. Nothing
// when y lies below the last row.
std::optional<RowPlacement> placeInRows(const QList<int> &rowHeights, int y);
// The wall's rows: the height of each row's first cell (cells by index, row-major; the grid
// is the wall's "splitSize", columns by rows). A row whose first cell is missing ends the list.
QList<int> rowHeights(const design::WallRecord &wall);
// The decoders of one row, in column order; holes are left out.
QStringList rowDecoders(const design::WallRecord &wall, int row);

// Where a subtitle at wall y is shown: the row, the y inside it and that row's decoders.
struct Placement {
    RowPlacement place;
    QStringList decoders;
};
std::optional<Placement> placeSubtitle(const design::WallRecord &wall, int y);

// Commands. The subtitle commands are UTF-8 (the text may be anything); the close is Latin-1.
// Image form: {SubtitleOsd;W;x,y,height;transparent,background,time,move}
QByteArray imageSubtitleCommand(const QString &wallId, const QVariantMap &osdMap, int x, int rowY);
// Text form: {SubtitleOsd;W;x,y,width,height,-1;transparent,#FFbackground,time,"move";
//             "text",#FFfont,fontSize,"bold"}
QByteArray textSubtitleCommand(const QString &wallId, const QVariantMap &osdMap, int x, int rowY);
QByteArray subtitleCommand(Form form, const QString &wallId, const QVariantMap &osdMap, int x, int rowY);
// {SubtitleOsd;W}
QByteArray closeSubtitleCommand(const QString &wallId);

// The state stored under the wall id: the compact JSON object in double quotes, with
// "obj":"osd", "uuid", "enable" and the dialog's values of that form (keys the dialog did
// not give are left out). The dialog gets it back to show what is on the wall.
QString subtitleState(Form form, const QString &wallId, const QVariantMap &osdMap, bool enable);

// The label an encoder draws into one input, a node envelope "setOsd" for its port 12345;
// the map holds "enable", "str", "font_col", "x", "y", "font_size" (and "ip", the node).
QByteArray inputLabelCommand(const QVariantMap &osdMap);

// The clock text: line breaks become the two characters backslash and n.
QString clockContent(const QString &content);
// Why the clock command cannot carry these clocks: a field holding "," ";" "{" "}" or '"'
// would shift or end the fields, and the wall would hand back clocks that are not these.
// Empty when it can.
QString clockRefusal(const QVariantList &clocks);
// {ClockOsd;W;x,y,w,h,content,background,font colour,font size,"normal";...}; "{ClockOsd;W}"
// for no clocks. UTF-8, as the wall hands the clocks back.
QByteArray clockCommand(const QString &wallId, const QVariantList &clocks);
// {GetClockOsd;W}
QByteArray clockQuery(const QString &wallId);

} // namespace kora::osd
