// Where an editor asks for completions: the marked line is the cursor.
import QtQuick
import Xamlpie

Item {
    PieChart {
        COMPLETE_HERE
    }
}
