// The gallery's charts, live, on one model that the table edits.
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Xamlpie

ApplicationWindow {
    id: window
    width: 1100
    height: 700
    visible: true
    title: qsTr("Xamlpie gallery")

    // Set by --screenshot: no animation, the final pictures.
    property int animation: 600

    ListModel {
        id: budget
        ListElement { name: "Rent"; value: 1200; color: "#4E79A7" }
        ListElement { name: "Food"; value: 640.5; color: "#F28E2B" }
        ListElement { name: "Transport"; value: 310; color: "#E15759" }
        ListElement { name: "Savings"; value: 250; color: "#76B7B2" }
        ListElement { name: "Leisure"; value: 182.25; color: "#59A14F" }
    }

    RowLayout {
        anchors.fill: parent
        anchors.margins: 8
        spacing: 8

        ColumnLayout {
            Layout.preferredWidth: 330
            Layout.maximumWidth: 330
            Layout.fillWidth: false
            Layout.fillHeight: true
            Label { text: qsTr("Slices (edit a name or a value)"); font.bold: true }
            ListView {
                id: table
                Layout.fillWidth: true
                Layout.fillHeight: true
                clip: true
                model: budget
                delegate: RowLayout {
                    id: entry
                    required property int index
                    required property string name
                    required property real value
                    required property string color
                    width: table.width
                    Rectangle {
                        Layout.preferredWidth: 16; Layout.preferredHeight: 16
                        radius: 3; color: entry.color
                    }
                    TextField {
                        Layout.fillWidth: true
                        text: entry.name
                        onEditingFinished: budget.setProperty(entry.index, "name", text)
                    }
                    TextField {
                        Layout.preferredWidth: 90
                        text: entry.value
                        validator: DoubleValidator { bottom: 0 }
                        onEditingFinished: budget.setProperty(entry.index, "value", Number(text))
                    }
                    Button {
                        text: "−"
                        onClicked: budget.remove(entry.index)
                    }
                }
            }
            Button {
                text: qsTr("Add a slice")
                onClicked: budget.append({ name: qsTr("New"), value: 100,
                                           color: Qt.hsla(Math.random(), 0.55, 0.55, 1).toString() })
            }
            Label {
                Layout.fillWidth: true
                wrapMode: Text.WordWrap
                text: qsTr("Click a legend entry to hide its slice; Tab to a chart and walk its slices with the arrows.")
            }
        }

        GridLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            columns: 2
            rowSpacing: 8
            columnSpacing: 8

            PieChart {
                id: chart1
                Layout.fillWidth: true; Layout.fillHeight: true
                model: budget
                labels: PieChart.Percent
                startAngle: 90; clockwise: true
                animationDuration: window.animation
                ToolTip {
                    visible: chart1.toolTip !== ""
                    text: chart1.toolTip
                    x: chart1.pointerPosition.x + 12
                    y: chart1.pointerPosition.y + 16
                }
            }
            PieChart {
                id: chart2
                Layout.fillWidth: true; Layout.fillHeight: true
                model: budget
                holeSize: 0.55
                centerText: qsTr("Budget")
                labels: PieChart.Percent
                percentDecimals: 1
                startAngle: 90; clockwise: true
                animationDuration: window.animation
                ToolTip {
                    visible: chart2.toolTip !== ""
                    text: chart2.toolTip
                    x: chart2.pointerPosition.x + 12
                    y: chart2.pointerPosition.y + 16
                }
            }
            PieChart {
                id: chart3
                Layout.fillWidth: true; Layout.fillHeight: true
                model: budget
                holeSize: 0.5
                startAngle: 180; sweepAngle: 180; clockwise: true
                labelFormat: "{value}"
                labels: PieChart.Percent
                groupSeparator: ","
                animationDuration: window.animation
                ToolTip {
                    visible: chart3.toolTip !== ""
                    text: chart3.toolTip
                    x: chart3.pointerPosition.x + 12
                    y: chart3.pointerPosition.y + 16
                }
            }
            PieChart {
                id: chart4
                Layout.fillWidth: true; Layout.fillHeight: true
                model: budget
                holeSize: 0.4
                sliceGap: 5
                cornerRadius: 8
                gradient: PieChart.RadialSlices
                hoverExpand: 8
                sortSlices: PieChart.Descending
                labels: PieChart.Percent
                startAngle: 90; clockwise: true
                animationDuration: window.animation
                ToolTip {
                    visible: chart4.toolTip !== ""
                    text: chart4.toolTip
                    x: chart4.pointerPosition.x + 12
                    y: chart4.pointerPosition.y + 16
                }
            }
        }
    }
}
