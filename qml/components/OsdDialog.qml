import QtQuick 2.15
import QtQuick.Controls 2.15
import "../js/OsdRules.js" as Rules
import "../js/LayoutLog.js" as LayoutLog

// On-screen text of the selected wall: a subtitle in either form, and the label an input's
// encoder draws into its picture. Opened by the wall's "bt_osd" tool with the wall's
// subtitle state, or by a designed button in the form it names; refresh() shows a state the
// controller reports later.
FocusScope {
    id: root
    property string fontFamily: ""
    property var translate: function (text) { return text }
    property string panelId: ""
    property int wallWidth: 1920
    property string form: "text"
    // The fields last shown in the picture form: an unchanged picture is not rendered again.
    property var shownPicture: null

    anchors.fill: parent
    visible: false
    z: 50

    function tr(text) { return root.translate(text) }

    // The form the dialog was opened in ("image" or "text"); "" takes the state's.
    property string openedForm: ""

    function open(wallId, state, width, form) {
        panelId = String(wallId)
        wallWidth = width > 0 ? width : 1920
        shownPicture = null
        openedForm = form || ""
        load(Rules.fieldsFromState(state, wallWidth))
        visible = true
        stringField.forceActiveFocus()
    }
    function close() { visible = false }
    // Where the dialog's controls are (the end-to-end checks click there), once it is drawn.
    onVisibleChanged: if (visible) layoutLog.restart()
    Timer { id: layoutLog; interval: 100; onTriggered: console.log("subtitle dialog layout:", LayoutLog.line(root, "osd")) }
    // The subtitle state of this wall as the controller reports it.
    function refresh(state) {
        if (visible && state && String(state.uuid) === panelId) {
            load(Rules.fieldsFromState(state, wallWidth))
            console.log("subtitle dialog: the stored state of wall", panelId, "shown")
        }
    }

    function load(f) {
        form = openedForm !== "" ? openedForm : f.form
        stringField.text = f.string
        fontColField.text = f.fontCol
        bkColField.text = f.bkCol
        xField.text = String(f.x)
        yField.text = String(f.y)
        widthField.text = String(f.width)
        heightField.text = String(f.height)
        timeField.text = String(f.time)
        moveBox.currentIndex = f.move === "right" ? 1 : 0
        transparentBox.checked = f.transparent
        suspendBox.checked = f.suspend
        middleBox.checked = f.middle
        boldBox.checked = f.bold
        fontFamilyField.text = f.fontFamily !== "" ? f.fontFamily : root.fontFamily
        fontSizeField.text = String(f.fontSize)
    }
    function fields() {
        return { form: form, string: stringField.text, fontCol: fontColField.text, bkCol: bkColField.text,
                 x: xField.text, y: yField.text, width: widthField.text, height: heightField.text,
                 time: timeField.text, move: moveBox.currentIndex === 1 ? "right" : "left",
                 transparent: transparentBox.checked, suspend: suspendBox.checked, middle: middleBox.checked,
                 bold: boldBox.checked, fontFamily: fontFamilyField.text, fontSize: fontSizeField.text }
    }
    // Shows the subtitle (`show`) or takes it off the wall.
    function apply(show) {
        var f = fields()
        var call = Rules.subtitleCall(f, show, shownPicture)
        ImApi[call.name].apply(ImApi, call.args)
        if (form === "image" && show)
            shownPicture = f
    }
    function applyLabel() {
        ImApi.ServerSetInNodeOSD(Rules.labelMap({ ip: labelIpField.text, enable: labelEnableBox.checked,
                                                  text: labelTextField.text, colour: labelColField.text,
                                                  x: labelXField.text, y: labelYField.text,
                                                  size: labelSizeField.text }))
    }

    Keys.onEscapePressed: close()

    MouseArea { anchors.fill: parent; acceptedButtons: Qt.AllButtons; onWheel: wheel.accepted = true }
    Rectangle { anchors.fill: parent; color: "#80000000" }

    component Caption: Text { color: "#dbe4ee"; font.family: root.fontFamily; font.pixelSize: 14 }
    component Field: TextField { width: parent.width; selectByMouse: true }
    component NumberField: Field { validator: IntValidator { bottom: 0 } }
    component ColourField: Field { validator: RegularExpressionValidator { regularExpression: /#[0-9a-fA-F]{6}/ } }
    // A caption over its field, two or three to a row.
    component Labelled: Column {
        property alias caption: cap.text
        default property alias content: holder.data
        width: 130
        spacing: 4
        Caption { id: cap }
        Item { id: holder; width: parent.width; height: 40 }
    }

    Rectangle {
        id: box
        objectName: "osdDialogBox"
        anchors.centerIn: parent
        width: 720
        height: layout.height + 32
        radius: 6
        color: "#182c42"
        border.color: "#3d6185"

        Column {
            id: layout
            x: 16; y: 16
            width: parent.width - 32
            spacing: 10

            Row {
                spacing: 8
                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    text: root.tr("Subtitle")
                    color: "white"; font.family: root.fontFamily; font.pixelSize: 20; font.bold: true
                }
                Button { objectName: "osdFormImage"; text: root.tr("Picture"); highlighted: root.form === "image"; onClicked: root.form = "image" }
                Button { objectName: "osdFormText"; text: root.tr("Text"); highlighted: root.form === "text"; onClicked: root.form = "text" }
            }
            Field { id: stringField; objectName: "osdString"; font.family: root.fontFamily; placeholderText: root.tr("Text") }
            Flow {
                width: parent.width
                spacing: 8
                Labelled { caption: "X"; NumberField { id: xField; objectName: "osdX" } }
                Labelled { caption: "Y"; NumberField { id: yField; objectName: "osdY" } }
                Labelled { caption: root.tr("Width"); visible: root.form === "text"; NumberField { id: widthField; objectName: "osdWidth" } }
                Labelled { caption: root.tr("Height"); NumberField { id: heightField; objectName: "osdHeight" } }
                Labelled { caption: root.tr("Font colour"); ColourField { id: fontColField; objectName: "osdFontCol" } }
                Labelled { caption: root.tr("Background"); ColourField { id: bkColField; objectName: "osdBkCol" } }
                Labelled {
                    caption: root.tr("Scroll")
                    ComboBox { id: moveBox; objectName: "osdMove"; width: parent.width; model: [root.tr("Left"), root.tr("Right")] }
                }
                Labelled { caption: root.tr("Scroll time"); NumberField { id: timeField; objectName: "osdTime" } }
                Labelled { caption: root.tr("Font"); visible: root.form === "image"; Field { id: fontFamilyField; objectName: "osdFontFamily" } }
                Labelled { caption: root.tr("Font size"); NumberField { id: fontSizeField; objectName: "osdFontSize" } }
            }
            Flow {
                width: parent.width
                spacing: 8
                CheckBox { id: transparentBox; objectName: "osdTransparent"; text: root.tr("Transparent"); font.family: root.fontFamily }
                CheckBox { id: suspendBox; objectName: "osdSuspend"; text: root.tr("Above the windows"); font.family: root.fontFamily }
                CheckBox { id: middleBox; objectName: "osdMiddle"; text: root.tr("Centred"); visible: root.form === "image"; font.family: root.fontFamily }
                CheckBox { id: boldBox; objectName: "osdBold"; text: root.tr("Bold"); visible: root.form === "text"; font.family: root.fontFamily }
            }
            Row {
                spacing: 8
                Button { objectName: "osdShow"; text: root.tr("Show"); onClicked: root.apply(true) }
                Button { objectName: "osdHide"; text: root.tr("Close subtitle"); onClicked: root.apply(false) }
            }

            Rectangle { width: parent.width; height: 1; color: "#3d6185" }
            Text {
                text: root.tr("Input label")
                color: "white"; font.family: root.fontFamily; font.pixelSize: 20; font.bold: true
            }
            Flow {
                width: parent.width
                spacing: 8
                Labelled { caption: root.tr("Input address"); width: 200; Field { id: labelIpField; objectName: "labelIp" } }
                Labelled { caption: root.tr("Text"); width: 260; Field { id: labelTextField; objectName: "labelText"; font.family: root.fontFamily } }
                Labelled { caption: "X"; NumberField { id: labelXField; objectName: "labelX"; text: "0" } }
                Labelled { caption: "Y"; NumberField { id: labelYField; objectName: "labelY"; text: "0" } }
                Labelled { caption: root.tr("Size"); NumberField { id: labelSizeField; objectName: "labelSize"; text: "32" } }
                Labelled { caption: root.tr("Colour"); ColourField { id: labelColField; objectName: "labelColour"; text: "#ffffff" } }
            }
            Row {
                spacing: 8
                CheckBox { id: labelEnableBox; objectName: "labelEnable"; text: root.tr("Show"); checked: true; font.family: root.fontFamily }
                Button { objectName: "labelApply"; text: root.tr("Apply label"); onClicked: root.applyLabel() }
            }
        }
        Button {
            objectName: "osdDialogClose"
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.margins: 12
            text: "✕"
            onClicked: root.close()
        }
    }
}
