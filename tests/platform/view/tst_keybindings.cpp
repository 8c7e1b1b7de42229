#include "platform/view/VLClickCounter.h"
#include "platform/view/VLKeyBindings.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QStyleHints>
#include <QTest>

using platform::Command;
using platform::commandName;
using platform::VLKeyCommand;

namespace {

class RecordingClient : public platform::VLKeyBindingClient
{
public:
    void insertText(const QString &text) override { calls.append(commandName(Command::insertText) + text); }
    void doCommandBySelector(Command command) override { calls.append(commandName(command)); }
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
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("inserted");

    const int none = Qt::NoModifier;
    const int shift = Qt::ShiftModifier;
    const int ctrl = Qt::ControlModifier;
    const int ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
    // Commands by name, so that a failure reads as the command; none: an empty name.
    const auto row = [](const char *name, int key, int modifiers, const QString &text, std::optional<Command> command,
                        const QString &inserted = {}) {
        QTest::newRow(name) << key << modifiers << text << (command ? commandName(*command) : QString()) << inserted;
    };
    row("left", Qt::Key_Left, none, {}, Command::moveLeft);
    row("shift right", Qt::Key_Right, shift, {}, Command::moveRightAndModifySelection);
    row("ctrl left", Qt::Key_Left, ctrl, {}, Command::moveWordLeft);
    row("ctrl shift right", Qt::Key_Right, ctrlShift, {}, Command::moveWordRightAndModifySelection);
    row("up", Qt::Key_Up, none, {}, Command::moveUp);
    row("shift down", Qt::Key_Down, shift, {}, Command::moveDownAndModifySelection);
    row("home", Qt::Key_Home, none, {}, Command::moveToBeginningOfLine);
    row("shift end", Qt::Key_End, shift, {}, Command::moveToEndOfLineAndModifySelection);
    row("ctrl home", Qt::Key_Home, ctrl, {}, Command::moveToBeginningOfDocument);
    row("ctrl shift end", Qt::Key_End, ctrlShift, {}, Command::moveToEndOfDocumentAndModifySelection);
    row("backspace", Qt::Key_Backspace, none, QStringLiteral("\b"), Command::deleteBackward);
    row("ctrl backspace", Qt::Key_Backspace, ctrl, {}, Command::deleteWordBackward);
    row("delete", Qt::Key_Delete, none, {}, Command::deleteForward);
    row("ctrl delete", Qt::Key_Delete, ctrl, {}, Command::deleteWordForward);
    row("return", Qt::Key_Return, none, QStringLiteral("\r"), Command::insertNewline);
    row("keypad enter", Qt::Key_Enter, Qt::KeypadModifier, QStringLiteral("\r"), Command::insertNewline);
    row("tab", Qt::Key_Tab, none, QStringLiteral("\t"), Command::insertTab);
    row("backtab", Qt::Key_Backtab, shift, {}, Command::insertBacktab);
    row("escape", Qt::Key_Escape, none, QStringLiteral("\x1b"), Command::cancelOperation);
    row("ctrl a", Qt::Key_A, ctrl, QStringLiteral("\x01"), Command::selectAll);
    row("ctrl c", Qt::Key_C, ctrl, {}, Command::copy);
    row("ctrl x", Qt::Key_X, ctrl, {}, Command::cut);
    row("ctrl v", Qt::Key_V, ctrl, {}, Command::paste);
    row("ctrl k", Qt::Key_K, ctrl, {}, Command::deleteToEndOfLine);
    row("ctrl u", Qt::Key_U, ctrl, {}, Command::deleteToBeginningOfLine);
    row("ctrl y", Qt::Key_Y, ctrl, {}, Command::yank);
    row("letter", Qt::Key_A, none, QStringLiteral("a"), Command::insertText, QStringLiteral("a"));
    row("capital", Qt::Key_A, shift, QStringLiteral("A"), Command::insertText, QStringLiteral("A"));
    row("space", Qt::Key_Space, none, QStringLiteral(" "), Command::insertText, QStringLiteral(" "));
    row("non-latin", Qt::Key_unknown, none, QStringLiteral("ж"), Command::insertText, QStringLiteral("ж"));
    row("altgr composition", Qt::Key_unknown, Qt::ControlModifier | Qt::AltModifier, QStringLiteral("€"),
        Command::insertText, QStringLiteral("€"));
    row("ctrl shortcut letter", Qt::Key_Q, ctrl, QStringLiteral("\x11"), std::nullopt);
    row("alt letter", Qt::Key_F, Qt::AltModifier, QStringLiteral("f"), std::nullopt);
    row("lone shift", Qt::Key_Shift, shift, {}, std::nullopt);
    row("function key", Qt::Key_F5, none, {}, std::nullopt);
}

void tst_keybindings::commandsForKeys()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, text);
    QFETCH(QString, command);
    QFETCH(QString, inserted);
    const QKeyEvent event(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers), text);
    const VLKeyCommand sent = platform::keyCommandForEvent(event);
    QCOMPARE(sent.command ? commandName(*sent.command) : QString(), command);
    QCOMPARE(sent.text, inserted);
}

void tst_keybindings::interpretSendsOneCallOrNone()
{
    RecordingClient client;
    QVERIFY(platform::interpretKeyEvents(QKeyEvent(QEvent::KeyPress, Qt::Key_Left, Qt::ControlModifier), client));
    QVERIFY(platform::interpretKeyEvents(QKeyEvent(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, QStringLiteral("b")),
                                         client));
    QVERIFY(!platform::interpretKeyEvents(QKeyEvent(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier), client));
    QCOMPARE(client.calls, QStringList({commandName(Command::moveWordLeft), commandName(Command::insertText) + u'b'}));
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
