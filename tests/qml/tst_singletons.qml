import QtQuick 2.15
import QtTest 1.15
import Boxmere 1.0

TestCase {
    name: "Singletons"
    when: windowShown

    function test_utils_data() {
        return [
            { tag: "baseName", result: Utils.baseName("a.b.c"), expected: "a.b" },
            { tag: "fileName", result: Utils.fileName("/x/y/z.txt"), expected: "z.txt" },
            { tag: "safeName", result: Utils.safeName(" a?b "), expected: "a_b" },
            { tag: "toLocalPath", result: Utils.toLocalPath("file:///tmp/a%20b"), expected: "/tmp/a b" },
        ]
    }

    function test_utils(data) {
        compare(data.result, data.expected)
    }

    function test_invertColor() {
        verify(Qt.colorEqual(Utils.invertColor("blue"), "yellow"))
    }

    function test_properties() {
        compare(typeof Utils.osName, "string")
        verify(Utils.osName.length > 0)
        compare(typeof Utils.isDebug, "boolean")
    }

    function test_imageList() {
        compare(ImageList.rowCount(), 0)
    }
}
