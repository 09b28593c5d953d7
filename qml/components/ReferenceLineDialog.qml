import QtQuick 2.15
import QtQuick.Controls 2.15
import "../js/DialogRules.js" as Rules

// The dashed reference grid a wall draws per screen in free layout (rows × columns of cells,
// 0 for none), and whether walls show their reference lines at all (the controller's
// `flgLine`, shared by every wall).
DialogFrame {
    id: root
    title: "Reference Line"
    boxHeight: 240
    property var wall: null
    property alias rowsField: rowsInput.text
    property alias colsField: colsInput.text
    property alias showLines: showBox.checked

    function open(w) {
        wall = w
        rowsInput.text = String(w.refRow)
        colsInput.text = String(w.refCol)
        showBox.checked = ImApi.flgLine
        show()
    }
    function apply() {
        var rows = Rules.lineCount(rowsInput.text), cols = Rules.lineCount(colsInput.text)
        if (rows < 0 || cols < 0) {
            warning = "Rows and columns are 0 to 16"
            return
        }
        ImApi.flgLine = showBox.checked
        wall.refRow = rows
        wall.refCol = cols
        ImApi.ServerSetPanelFline(cols, rows)
        close()
    }

    buttons: [ Button { objectName: "lineOk"; focusPolicy: Qt.NoFocus; text: root.tr("OK"); onClicked: root.apply() } ]

    Row {
        spacing: 10
        Text { anchors.verticalCenter: parent.verticalCenter; text: root.tr("Rows"); color: "white"; font.family: root.fontFamily; font.pixelSize: 16 }
        TextField { id: rowsInput; objectName: "lineRows"; width: 70; selectByMouse: true; inputMethodHints: Qt.ImhDigitsOnly }
        Text { anchors.verticalCenter: parent.verticalCenter; text: root.tr("Columns"); color: "white"; font.family: root.fontFamily; font.pixelSize: 16 }
        TextField { id: colsInput; objectName: "lineCols"; width: 70; selectByMouse: true; inputMethodHints: Qt.ImhDigitsOnly }
        CheckBox { id: showBox; objectName: "lineShow"; focusPolicy: Qt.NoFocus; text: root.tr("Show") }
    }
}
