import QtQuick 2.15
import QtQuick.Controls 2.15

ApplicationWindow {
    visible: true
    NoSuchType { }
}
