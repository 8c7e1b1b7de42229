#include "platform/view/VLClickCounter.h"
#include "platform/view/VLKeyBindings.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QStyleHints>
#include <QTest>

using platform::VLKeyCommand;

namespace {

class RecordingClient : public platform::VLKeyBindingClient
{
public:
    void insertText(const QString &text) override { calls.append(u"insertText:"_qs + text); }
    void doCommandBySelector(const QString &selector) override { calls.append(selector); }
    QStringList calls;
};

} // namespace

class tst_keybindings : public QObject
{
    Q_OBJECT

private slots:
    void commandsForKeys_data();
    void commandsForKeys();
    void interpretSendsOneCallOrNone();
    void clickCounts();
};

void tst_keybindings::commandsForKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("selector");
    QTest::addColumn<QString>("inserted");

    const int none = Qt::NoModifier;
    const int shift = Qt::ShiftModifier;
    const int ctrl = Qt::ControlModifier;
    const int ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
    const auto row = [](const char *name, int key, int modifiers, const QString &text, const char *selector,
                        const QString &inserted = {}) {
        QTest::newRow(name) << key << modifiers << text << QString::fromLatin1(selector) << inserted;
    };
    row("left", Qt::Key_Left, none, {}, "moveLeft:");
    row("shift right", Qt::Key_Right, shift, {}, "moveRightAndModifySelection:");
    row("ctrl left", Qt::Key_Left, ctrl, {}, "moveWordLeft:");
    row("ctrl shift right", Qt::Key_Right, ctrlShift, {}, "moveWordRightAndModifySelection:");
    row("up", Qt::Key_Up, none, {}, "moveUp:");
    row("shift down", Qt::Key_Down, shift, {}, "moveDownAndModifySelection:");
    row("home", Qt::Key_Home, none, {}, "moveToBeginningOfLine:");
    row("shift end", Qt::Key_End, shift, {}, "moveToEndOfLineAndModifySelection:");
    row("ctrl home", Qt::Key_Home, ctrl, {}, "moveToBeginningOfDocument:");
    row("ctrl shift end", Qt::Key_End, ctrlShift, {}, "moveToEndOfDocumentAndModifySelection:");
    row("backspace", Qt::Key_Backspace, none, QStringLiteral("\b"), "deleteBackward:");
    row("ctrl backspace", Qt::Key_Backspace, ctrl, {}, "deleteWordBackward:");
    row("delete", Qt::Key_Delete, none, {}, "deleteForward:");
    row("ctrl delete", Qt::Key_Delete, ctrl, {}, "deleteWordForward:");
    row("return", Qt::Key_Return, none, QStringLiteral("\r"), "insertNewline:");
    row("keypad enter", Qt::Key_Enter, Qt::KeypadModifier, QStringLiteral("\r"), "insertNewline:");
    row("tab", Qt::Key_Tab, none, QStringLiteral("\t"), "insertTab:");
    row("backtab", Qt::Key_Backtab, shift, {}, "insertBacktab:");
    row("escape", Qt::Key_Escape, none, QStringLiteral("\x1b"), "cancelOperation:");
    row("ctrl a", Qt::Key_A, ctrl, QStringLiteral("\x01"), "selectAll:");
    row("ctrl c", Qt::Key_C, ctrl, {}, "copy:");
    row("ctrl x", Qt::Key_X, ctrl, {}, "cut:");
    row("ctrl v", Qt::Key_V, ctrl, {}, "paste:");
    row("ctrl k", Qt::Key_K, ctrl, {}, "deleteToEndOfLine:");
    row("ctrl u", Qt::Key_U, ctrl, {}, "deleteToBeginningOfLine:");
    row("ctrl y", Qt::Key_Y, ctrl, {}, "yank:");
    row("letter", Qt::Key_A, none, QStringLiteral("a"), "insertText:", QStringLiteral("a"));
    row("capital", Qt::Key_A, shift, QStringLiteral("A"), "insertText:", QStringLiteral("A"));
    row("space", Qt::Key_Space, none, QStringLiteral(" "), "insertText:", QStringLiteral(" "));
    row("non-latin", Qt::Key_unknown, none, QStringLiteral("ж"), "insertText:", QStringLiteral("ж"));
    row("altgr composition", Qt::Key_unknown, Qt::ControlModifier | Qt::AltModifier, QStringLiteral("€"),
        "insertText:", QStringLiteral("€"));
    row("ctrl shortcut letter", Qt::Key_Q, ctrl, QStringLiteral("\x11"), "");
    row("alt letter", Qt::Key_F, Qt::AltModifier, QStringLiteral("f"), "");
    row("lone shift", Qt::Key_Shift, shift, {}, "");
    row("function key", Qt::Key_F5, none, {}, "");
}

void tst_keybindings::commandsForKeys()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, text);
    QFETCH(QString, selector);
    QFETCH(QString, inserted);
    const QKeyEvent event(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers), text);
    const VLKeyCommand command = platform::keyCommandForEvent(event);
    QCOMPARE(command.selector, selector);
    QCOMPARE(command.text, inserted);
}

void tst_keybindings::interpretSendsOneCallOrNone()
{
    RecordingClient client;
    QVERIFY(platform::interpretKeyEvents(QKeyEvent(QEvent::KeyPress, Qt::Key_Left, Qt::ControlModifier), client));
    QVERIFY(platform::interpretKeyEvents(QKeyEvent(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, QStringLiteral("b")),
                                         client));
    QVERIFY(!platform::interpretKeyEvents(QKeyEvent(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier), client));
    QCOMPARE(client.calls, QStringList({QStringLiteral("moveWordLeft:"), QStringLiteral("insertText:b")}));
}

void tst_keybindings::clickCounts()
{
    const int interval = QGuiApplication::styleHints()->mouseDoubleClickInterval();
    const double distance = QGuiApplication::styleHints()->mouseDoubleClickDistance();
    platform::VLClickCounter counter;
    const QPointF at(100, 100);
    QCOMPARE(counter.countForPress(at, Qt::LeftButton, 1000), 1);
    QCOMPARE(counter.countForPress(at, Qt::LeftButton, 1000 + interval / 2), 2);
    QCOMPARE(counter.countForPress(at + QPointF(distance, 0), Qt::LeftButton, 1000 + interval), 3);
    // Too late, too far, another button, or a clock that went back: a fresh first click.
    QCOMPARE(counter.countForPress(at, Qt::LeftButton, 1000 + 3 * interval), 1);
    QCOMPARE(counter.countForPress(at + QPointF(0, distance + 1), Qt::LeftButton, 1000 + 3 * interval + 1), 1);
    QCOMPARE(counter.countForPress(at, Qt::RightButton, 1000 + 3 * interval + 2), 1);
    QCOMPARE(counter.countForPress(at, Qt::RightButton, 10), 1);
    counter.reset();
    QCOMPARE(counter.clickCount(), 0);
    QCOMPARE(counter.countForPress(at, Qt::RightButton, 11), 1);
}

QTEST_MAIN(tst_keybindings)
#include "tst_keybindings.moc"
