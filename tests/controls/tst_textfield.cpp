#include "ControlTestSupport.h"

#include "controls/VLLayer.h"
#include "controls/VLTextField.h"
#include "controls/VLTextFieldLayer.h"
#include "platform/animation/VLAnimator.h"
#include "platform/view/CapsLock.h"
#include "platform/view/VLCommand.h"
#include "platform/view/VLResponderChain.h"

#include <QClipboard>
#include <QInputMethodEvent>
#include <QTextCharFormat>

using namespace Qt::StringLiterals;
using platform::Command;
using platform::commandName;

namespace {

// Records the delegate's notices in order.
class Recorder : public QObject, public VLTextFieldDelegate
{
    Q_OBJECT
public:
    QStringList calls;
    void textFieldTextDidChange(VLTextField *, const QString &text) override { calls << u"change:"_s + text; }
    void textFieldDidWillReturn(VLTextField *) override { calls << u"willReturn"_s; }
    void textFieldDidEndEditing(VLTextField *) override { calls << u"endEditing"_s; }
};

// A responder after the field: hears the commands the field leaves.
class CommandReceiver : public QObject
{
    Q_OBJECT
public:
    QStringList commands;
    Q_INVOKABLE void cancelOperation(QObject *) { commands << commandName(Command::cancelOperation); }
    Q_INVOKABLE void copy(QObject *) { commands << commandName(Command::copy); }
    Q_INVOKABLE void cut(QObject *) { commands << commandName(Command::cut); }
};

struct Harness
{
    QWidget window;
    // Created first, so the window's first focus lands here and not in a field.
    QLineEdit *sink = new QLineEdit(&window);
    VLTextField *field = new VLTextField(&window);
    VLTextField *other = new VLTextField(&window);
    Recorder recorder;
    CommandReceiver receiver;

    Harness()
    {
        window.resize(320, 120);
        sink->setGeometry(10, 90, 100, 24);
        field->setGeometry(10, 10, 300, 24);
        other->setGeometry(10, 50, 300, 24);
        field->setDelegate(&recorder);
        vlSetNextResponder(field, &receiver);
    }
    bool show()
    {
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }
    // Focuses the field, then gives it a text and a selection.
    void edit(const QString &text, qsizetype start, qsizetype end)
    {
        field->setFocus(Qt::OtherFocusReason);
        field->setText(text);
        field->renderer().setSelectedRange({start, end - start});
        field->renderer().textDidChange();
        recorder.calls.clear();
    }
    VLTextRange selection() const { return field->renderer().selectedRange(); }
};

QList<int> keys(std::initializer_list<QKeyCombination> combinations)
{
    QList<int> result;
    for (const QKeyCombination combination : combinations)
        result << combination.toCombined();
    return result;
}

void press(QWidget *widget, const QList<int> &sequence)
{
    for (const int combined : sequence) {
        const QKeyCombination combination = QKeyCombination::fromCombined(combined);
        QTest::keyClick(widget, combination.key(), combination.keyboardModifiers());
    }
}

// The x of the middle of a text index's character, in field coordinates.
QPoint pointAtIndex(VLTextField *field, qsizetype index)
{
    const QRectF rect = field->renderer().firstRectForCharacterRange({index, 1});
    const QPointF origin = field->textLayer()->superlayer()->frame().topLeft() + field->textLayer()->frame().topLeft();
    return (rect.center() + origin).toPoint();
}

QImage fieldImage(QWidget &window, VLTextField *field)
{
    return window.grab(field->geometry()).toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class TestTextField : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        VLTextFieldKillBuffer::clear();
        platform::setCapsLockOverride(false);
        QGuiApplication::clipboard()->clear();
    }
    void cleanup() { platform::setCapsLockOverride(std::nullopt); }

    void typingChangesTextAndTellsTheDelegateEachTime()
    {
        Harness h;
        QVERIFY(h.show());
        h.field->setFocus();
        QTest::keyClicks(h.field, u"ab"_s);
        QTest::keyClick(h.field, Qt::Key_Backspace);
        QTest::keyClick(h.field, Qt::Key_Backspace);
        QCOMPARE(h.field->text(), QString());
        QCOMPARE(h.recorder.calls, (QStringList{u"change:a"_s, u"change:ab"_s, u"change:a"_s, u"change:"_s}));

        // Moving the caret changes no text and tells nothing.
        h.field->setText(u"abc"_s);
        h.recorder.calls.clear();
        QTest::keyClick(h.field, Qt::Key_Left);
        QTest::keyClick(h.field, Qt::Key_Home);
        QVERIFY(h.recorder.calls.isEmpty());
    }

    void commands_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<QList<int>>("sequence");
        QTest::addColumn<QString>("expectedText");
        QTest::addColumn<int>("expectedLocation");
        QTest::addColumn<int>("expectedLength");

        const QString hello = u"hello"_s;
        const QString words = u"one two three"_s;
        // Moves
        QTest::newRow("left collapses a selection") << hello << 1 << 4 << keys({Qt::Key_Left}) << hello << 1 << 0;
        QTest::newRow("right collapses a selection") << hello << 1 << 4 << keys({Qt::Key_Right}) << hello << 4 << 0;
        QTest::newRow("left stops at 0") << hello << 0 << 0 << keys({Qt::Key_Left}) << hello << 0 << 0;
        QTest::newRow("right stops at the end") << hello << 5 << 5 << keys({Qt::Key_Right}) << hello << 5 << 0;
        QTest::newRow("word right") << words << 0 << 0 << keys({Qt::ControlModifier | Qt::Key_Right}) << words << 3
                                    << 0;
        QTest::newRow("word right twice")
            << words << 0 << 0 << keys({Qt::ControlModifier | Qt::Key_Right, Qt::ControlModifier | Qt::Key_Right})
            << words << 7 << 0;
        QTest::newRow("word left") << words << 13 << 13 << keys({Qt::ControlModifier | Qt::Key_Left}) << words << 8
                                   << 0;
        QTest::newRow("home") << hello << 3 << 3 << keys({Qt::Key_Home}) << hello << 0 << 0;
        QTest::newRow("end") << hello << 1 << 1 << keys({Qt::Key_End}) << hello << 5 << 0;
        QTest::newRow("up is home") << hello << 3 << 3 << keys({Qt::Key_Up}) << hello << 0 << 0;
        QTest::newRow("down is end") << hello << 1 << 1 << keys({Qt::Key_Down}) << hello << 5 << 0;
        QTest::newRow("left over a surrogate pair")
            << u"a\U0001F600b"_s << 3 << 3 << keys({Qt::Key_Left}) << u"a\U0001F600b"_s << 1 << 0;
        QTest::newRow("right over a combining sequence")
            << u"e\u0301x"_s << 0 << 0 << keys({Qt::Key_Right}) << u"e\u0301x"_s << 2 << 0;
        // Selection
        QTest::newRow("shift right") << hello << 1 << 1 << keys({Qt::ShiftModifier | Qt::Key_Right}) << hello << 1 << 1;
        QTest::newRow("shift left below 0")
            << hello << 0 << 0 << keys({Qt::ShiftModifier | Qt::Key_Left}) << hello << 0 << 0;
        QTest::newRow("shift word right")
            << words << 4 << 4 << keys({Qt::ShiftModifier | Qt::ControlModifier | Qt::Key_Right}) << words << 4 << 3;
        QTest::newRow("shift home") << hello << 3 << 3 << keys({Qt::ShiftModifier | Qt::Key_Home}) << hello << 0 << 3;
        QTest::newRow("shift end") << hello << 2 << 2 << keys({Qt::ShiftModifier | Qt::Key_End}) << hello << 2 << 3;
        QTest::newRow("select all") << hello << 2 << 2 << keys({Qt::ControlModifier | Qt::Key_A}) << hello << 0 << 5;
        // Deletion
        QTest::newRow("backspace at 0") << hello << 0 << 0 << keys({Qt::Key_Backspace}) << hello << 0 << 0;
        QTest::newRow("backspace") << hello << 3 << 3 << keys({Qt::Key_Backspace}) << u"helo"_s << 2 << 0;
        QTest::newRow("backspace a selection") << hello << 1 << 4 << keys({Qt::Key_Backspace}) << u"ho"_s << 1 << 0;
        QTest::newRow("delete at the end") << hello << 5 << 5 << keys({Qt::Key_Delete}) << hello << 5 << 0;
        QTest::newRow("delete") << hello << 0 << 0 << keys({Qt::Key_Delete}) << u"ello"_s << 0 << 0;
        QTest::newRow("delete a selection") << hello << 1 << 4 << keys({Qt::Key_Delete}) << u"ho"_s << 1 << 0;
        QTest::newRow("backspace a surrogate pair whole")
            << u"a\U0001F600b"_s << 3 << 3 << keys({Qt::Key_Backspace}) << u"ab"_s << 1 << 0;
        QTest::newRow("delete a combining sequence whole")
            << u"e\u0301x"_s << 0 << 0 << keys({Qt::Key_Delete}) << u"x"_s << 0 << 0;
        QTest::newRow("to the beginning of the line")
            << u"hello world"_s << 5 << 5 << keys({Qt::ControlModifier | Qt::Key_U}) << u" world"_s << 0 << 0;
        QTest::newRow("to the beginning with a selection")
            << hello << 1 << 3 << keys({Qt::ControlModifier | Qt::Key_U}) << u"hlo"_s << 1 << 0;
        QTest::newRow("word backward") << words << 7 << 7 << keys({Qt::ControlModifier | Qt::Key_Backspace})
                                       << u"one  three"_s << 4 << 0;
        QTest::newRow("word forward does nothing")
            << words << 0 << 0 << keys({Qt::ControlModifier | Qt::Key_Delete}) << words << 0 << 0;
        // Kill and yank within one field
        QTest::newRow("kill to the end, yank back")
            << u"hello world"_s << 5 << 5
            << keys({Qt::ControlModifier | Qt::Key_K, Qt::Key_Home, Qt::ControlModifier | Qt::Key_Y})
            << u" worldhello"_s << 6 << 0;
        QTest::newRow("yank with an empty kill buffer")
            << hello << 5 << 5 << keys({Qt::ControlModifier | Qt::Key_Y}) << hello << 5 << 0;
    }

    void commands()
    {
        QFETCH(QString, text);
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(QList<int>, sequence);
        Harness h;
        QVERIFY(h.show());
        h.edit(text, start, end);
        press(h.field, sequence);
        QTEST(h.field->text(), "expectedText");
        QTEST(int(h.selection().location), "expectedLocation");
        QTEST(int(h.selection().length), "expectedLength");
    }

    void killBufferReachesOtherFieldsButNeverHoldsASecureText()
    {
        Harness h;
        QVERIFY(h.show());
        h.edit(u"hello world"_s, 5, 5);
        QTest::keyClick(h.field, Qt::Key_K, Qt::ControlModifier);
        QCOMPARE(h.field->text(), u"hello"_s);
        h.other->setFocus();
        h.other->setText(u"say"_s);
        QTest::keyClick(h.other, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(h.other->text(), u"say world"_s);

        h.field->setSecure(true);
        h.edit(u"secret"_s, 2, 2);
        QTest::keyClick(h.field, Qt::Key_K, Qt::ControlModifier);
        QCOMPARE(h.field->text(), u"se"_s);
        QCOMPARE(VLTextFieldKillBuffer::contents(), std::optional<QString>(u" world"_s));
    }

    void clipboard()
    {
        Harness h;
        QVERIFY(h.show());
        QClipboard *clipboard = QGuiApplication::clipboard();
        h.edit(u"hello world"_s, 0, 5);
        QTest::keyClick(h.field, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), u"hello"_s);
        QTest::keyClick(h.field, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(h.field->text(), u" world"_s);
        QCOMPARE(clipboard->text(), u"hello"_s);

        // A cut with nothing selected copies nothing and deletes nothing; the copy goes on.
        clipboard->setText(u"before"_s);
        h.edit(u"abc"_s, 2, 2);
        QTest::keyClick(h.field, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(h.field->text(), u"abc"_s);
        QCOMPARE(clipboard->text(), u"before"_s);
        QCOMPARE(h.receiver.commands, (QStringList{commandName(Command::cut)}));

        // Every space and line break pasted becomes one space.
        clipboard->setText(u"a b\nc\td"_s);
        h.edit(QString(), 0, 0);
        QTest::keyClick(h.field, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(h.field->text(), u"a b c d"_s);
        clipboard->clear();
        QTest::keyClick(h.field, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(h.field->text(), u"a b c d"_s);
    }

    void secureFieldNeverLetsItsTextOut()
    {
        Harness h;
        QVERIFY(h.show());
        QClipboard *clipboard = QGuiApplication::clipboard();
        clipboard->setText(u"before"_s);
        h.field->setSecure(true);
        h.edit(u"secret"_s, 0, 6);
        QVERIFY(!h.field->respondsToCommand(Command::copy));
        QTest::keyClick(h.field, Qt::Key_C, Qt::ControlModifier);
        QTest::keyClick(h.field, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), u"before"_s);
        QCOMPARE(h.field->text(), u"secret"_s);
        // The refused commands went on along the chain, as for any field that does not answer.
        QCOMPARE(h.receiver.commands, (QStringList{commandName(Command::copy), commandName(Command::cut)}));

        // Input methods learn nothing of the text.
        QCOMPARE(h.field->inputMethodQuery(Qt::ImSurroundingText).toString(), QString());
        QCOMPARE(h.field->inputMethodQuery(Qt::ImCurrentSelection).toString(), QString());
        QCOMPARE(h.field->inputMethodQuery(Qt::ImTextBeforeCursor).toString(), QString());
        const auto hints = Qt::InputMethodHints(h.field->inputMethodQuery(Qt::ImHints).toInt());
        QVERIFY(hints.testFlag(Qt::ImhHiddenText));
        QVERIFY(hints.testFlag(Qt::ImhSensitiveData));

        // A plain field tells them.
        h.other->setFocus();
        h.other->setText(u"plain"_s);
        QCOMPARE(h.other->inputMethodQuery(Qt::ImSurroundingText).toString(), u"plain"_s);
    }

    void secureFieldHidesItsWords()
    {
        Harness h;
        QVERIFY(h.show());
        h.field->setSecure(true);
        h.edit(u"two words"_s, 9, 9);
        QTest::keyClick(h.field, Qt::Key_Left, Qt::ControlModifier);
        QCOMPARE(h.selection(), (VLTextRange{0, 0}));
        QTest::keyClick(h.field, Qt::Key_Right, Qt::ControlModifier);
        QCOMPARE(h.selection(), (VLTextRange{9, 0}));
        PlatformMouse mouse(h.field);
        mouse.clicks(pointAtIndex(h.field, 1), 2);
        QCOMPARE(h.selection(), (VLTextRange{0, 9}));
    }

    void secureSelectionIsNeverPickedUp()
    {
        Harness h;
        QVERIFY(h.show());
        h.field->setSecure(true);
        h.edit(u"secret"_s, 0, 6);
        PlatformMouse mouse(h.field);
        // Pressing inside the selection and dragging away starts a new selection; the selected
        // password is not carried off.
        mouse.drag(pointAtIndex(h.field, 2) - QPoint(2, 0), QPoint(h.field->width() - 2, 12));
        QCOMPARE(h.selection(), (VLTextRange{2, 4}));
        QCOMPARE(h.field->text(), u"secret"_s);
    }

    void secureDisplayShowsBulletsBesideAPlainField()
    {
        // A secure field and a plain field side by side, and a plain field holding bullets as the
        // reference: the window's grab shows the secure text as bullets and the plain text as is.
        QWidget window;
        window.resize(330, 40);
        window.setStyleSheet(u"background: white"_s);
        auto *sink = new QLineEdit(&window); // takes the window's first focus
        sink->setGeometry(0, 0, 1, 1);
        auto *secure = new VLTextField(&window);
        auto *plain = new VLTextField(&window);
        auto *bullets = new VLTextField(&window);
        secure->setGeometry(5, 5, 100, 24);
        plain->setGeometry(115, 5, 100, 24);
        bullets->setGeometry(225, 5, 100, 24);
        secure->setSecure(true);
        secure->setText(u"abc"_s);
        plain->setText(u"abc"_s);
        bullets->setText(QString(3, QChar(0x2022)));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        const QImage secureImage = fieldImage(window, secure);
        QCOMPARE(secureImage, fieldImage(window, bullets));
        QVERIFY(secureImage != fieldImage(window, plain));
        QVERIFY(fieldImage(window, plain) != QImage(plain->size(), QImage::Format_ARGB32));

        // Three characters hit-test as three: the caret after the third bullet.
        QCOMPARE(secure->renderer().drawingAttributedString().string, QString(3, QChar(0x2022)));
        QCOMPARE(secure->renderer().stringIndexForPoint(1000.0), 3);
    }

    void secureDisplayKeepsCharactersWhole_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("location");
        QTest::addColumn<int>("length");
        QTest::addColumn<QList<int>>("boundaries");
        // The character between "a" and "b": where it starts and how many units it takes.
        QTest::newRow("surrogate pair") << u"a\U0001F600b"_s << 1 << 2 << QList<int>{0, 1, 3, 4};
        QTest::newRow("combining sequence") << u"ae\u0301b"_s << 1 << 2 << QList<int>{0, 1, 3, 4};
        QTest::newRow("flag") << u"a\U0001F1E9\U0001F1EAb"_s << 1 << 4 << QList<int>{0, 1, 5, 6};
    }

    void secureDisplayKeepsCharactersWhole()
    {
        QFETCH(QString, text);
        QFETCH(int, location);
        QFETCH(int, length);
        QFETCH(QList<int>, boundaries);
        Harness h;
        QVERIFY(h.show());
        h.field->setSecure(true);
        h.edit(text, text.size(), text.size());
        VLTextFieldRenderer &renderer = h.field->renderer();

        // One bullet per character, and no position of the line hits inside one.
        QCOMPARE(renderer.drawingAttributedString().string, QString(3, QChar(0x2022)));
        for (double x = -2.0; x < renderer.textSize().width() + 2.0; x += 0.5)
            QVERIFY2(boundaries.contains(int(renderer.stringIndexForPoint(x))), qPrintable(QString::number(x)));
        const QRectF bullet = renderer.firstRectForCharacterRange({location, length});
        QVERIFY(bullet.width() > 0);
        QCOMPARE(renderer.firstRectForCharacterRange({0, 1}).width(), bullet.width());

        // A click in the middle of the character's bullet, where its halves met when each unit
        // had a bullet, puts the caret beside it.
        const QPointF origin = h.field->textLayer()->superlayer()->frame().topLeft()
                               + h.field->textLayer()->frame().topLeft();
        const QPoint middle = (bullet.center() + origin).toPoint();
        PlatformMouse mouse(h.field);
        mouse.clicks(middle, 1);
        const qsizetype caret = h.selection().location;
        QVERIFY2(caret == location || caret == location + length, qPrintable(QString::number(caret)));
        QCOMPARE(h.selection().length, 0);

        // Typing there and deleting again leave the character whole.
        QTest::keyClick(h.field, Qt::Key_X);
        QString typed = text;
        typed.insert(caret, u'x');
        QCOMPARE(h.field->text(), typed);
        QTest::keyClick(h.field, Qt::Key_Backspace);
        QCOMPARE(h.field->text(), text);
        mouse.clicks(middle, 1);
        QTest::keyClick(h.field, Qt::Key_Backspace);
        QString deleted = text;
        deleted.remove(caret == location ? 0 : location, caret == location ? 1 : length);
        QCOMPARE(h.field->text(), deleted);

        // A drag from the character's middle selects it whole or not at all.
        h.edit(text, text.size(), text.size());
        mouse.drag(middle, QPoint(h.field->width() - 2, middle.y()));
        const VLTextRange dragged = h.selection();
        QVERIFY(boundaries.contains(int(dragged.location)));
        QCOMPARE(dragged.end(), text.size());
    }

    void mouseSelection()
    {
        Harness h;
        QVERIFY(h.show());
        h.other->setFocus();
        h.field->setText(u"one two three"_s);
        PlatformMouse mouse(h.field);

        // A click into an unfocused field selects everything.
        mouse.clicks(pointAtIndex(h.field, 5), 1);
        QVERIFY(h.field->hasFocus());
        QCOMPARE(h.selection(), (VLTextRange{0, 13}));

        // Once focused a click places the caret; Shift extends.
        mouse.clicks(pointAtIndex(h.field, 1) - QPoint(2, 0), 1);
        QCOMPARE(h.selection(), (VLTextRange{1, 0}));
        mouse.clicks(pointAtIndex(h.field, 5) - QPoint(2, 0), 1, Qt::ShiftModifier);
        QCOMPARE(h.selection(), (VLTextRange{1, 4}));

        // Dragging selects what the pointer passes.
        mouse.drag(pointAtIndex(h.field, 4) - QPoint(2, 0), pointAtIndex(h.field, 7) - QPoint(2, 0));
        QCOMPARE(h.selection(), (VLTextRange{4, 3}));
    }

    void doubleAndTripleClicks()
    {
        Harness h;
        QVERIFY(h.show());
        h.edit(u"one two three"_s, 0, 0);
        PlatformMouse mouse(h.field);
        const QPoint inTwo = pointAtIndex(h.field, 5);
        mouse.clicks(inTwo, 2);
        QCOMPARE(h.selection(), (VLTextRange{4, 3}));
        mouse.clicks(inTwo, 3);
        QCOMPARE(h.selection(), (VLTextRange{0, 13}));

        // Dragging after a double click extends by whole words; the release keeps the characters.
        mouse.clicks(inTwo, 1);
        mouse.press(inTwo, mouse.time + 80);
        mouse.move(pointAtIndex(h.field, 10), mouse.time + 100);
        QCOMPARE(h.field->renderer().selectionGranularity(), VLTextFieldRenderer::Granularity::Word);
        QCOMPARE(h.selection(), (VLTextRange{4, 9}));
        mouse.release(pointAtIndex(h.field, 10), mouse.time + 120);
        QCOMPARE(h.selection(), (VLTextRange{4, 9}));
        QCOMPARE(h.field->renderer().selectionGranularity(), VLTextFieldRenderer::Granularity::Character);
    }

    void inputMethodComposition()
    {
        Harness h;
        QVERIFY(h.show());
        h.edit(u"ab"_s, 1, 1);
        QTextCharFormat underline;
        underline.setFontUnderline(true);
        QInputMethodEvent preedit(
            u"ka"_s, {{QInputMethodEvent::Cursor, 2, 1, {}}, {QInputMethodEvent::TextFormat, 0, 2, underline}});
        QApplication::sendEvent(h.field, &preedit);
        QCOMPARE(h.field->text(), u"akab"_s);
        QVERIFY(h.field->renderer().hasMarkedText());
        QCOMPARE(h.field->renderer().markedRange(), (VLTextRange{1, 2}));
        QCOMPARE(h.selection(), (VLTextRange{3, 0}));
        // The input method is told where the caret is drawn.
        const QRectF caret = h.field->inputMethodQuery(Qt::ImCursorRectangle).toRectF();
        const QPointF origin = h.field->textLayer()->superlayer()->frame().topLeft()
                               + h.field->textLayer()->frame().topLeft();
        QCOMPARE(caret, h.field->caretLayer()->frame().translated(origin));

        QInputMethodEvent commit;
        commit.setCommitString(u"\u304B"_s);
        QApplication::sendEvent(h.field, &commit);
        QCOMPARE(h.field->text(), u"a\u304Bb"_s);
        QVERIFY(!h.field->renderer().hasMarkedText());
        QCOMPARE(h.selection(), (VLTextRange{2, 0}));
        QCOMPARE(h.recorder.calls, (QStringList{u"change:akab"_s, u"change:a\u304Bb"_s}));

        // A cancelled composition takes its text away.
        QInputMethodEvent again(u"x"_s, {});
        QApplication::sendEvent(h.field, &again);
        QCOMPARE(h.field->text(), u"a\u304Bxb"_s);
        QInputMethodEvent cancel(QString(), {});
        QApplication::sendEvent(h.field, &cancel);
        QCOMPARE(h.field->text(), u"a\u304Bb"_s);
        QVERIFY(!h.field->renderer().hasMarkedText());

        // A replacement range outside the text is cut to it.
        QInputMethodEvent stray;
        stray.setCommitString(u"z"_s, -100, 200);
        QApplication::sendEvent(h.field, &stray);
        QCOMPARE(h.field->text(), u"z"_s);
        QCOMPARE(h.selection(), (VLTextRange{1, 0}));
    }

    void maximumLength()
    {
        Harness h;
        QVERIFY(h.show());
        h.field->setLength(8);
        h.edit(u"12345678"_s, 8, 8);
        QTest::keyClick(h.field, Qt::Key_9);
        QCOMPARE(h.field->text(), u"12345678"_s);
        QVERIFY(h.recorder.calls.isEmpty());

        // A composition is accepted; its commit cuts the text back to the maximum.
        QInputMethodEvent preedit(u"ab"_s, {});
        QApplication::sendEvent(h.field, &preedit);
        QCOMPARE(h.field->text(), u"12345678ab"_s);
        QInputMethodEvent commit;
        commit.setCommitString(u"ab"_s);
        QApplication::sendEvent(h.field, &commit);
        QCOMPARE(h.field->text(), u"12345678"_s);
        QCOMPARE(h.selection(), (VLTextRange{8, 0}));

        // The cut never splits a surrogate pair.
        h.edit(u"1234567"_s, 7, 7);
        QInputMethodEvent smile(u"\U0001F600"_s, {});
        QApplication::sendEvent(h.field, &smile);
        QInputMethodEvent commitSmile;
        commitSmile.setCommitString(u"\U0001F600"_s);
        QApplication::sendEvent(h.field, &commitSmile);
        QCOMPARE(h.field->text(), u"1234567"_s);
    }

    void secureKeyRepeatTypesEachRepeat()
    {
        Harness h;
        QVERIFY(h.show());
        h.field->setSecure(true);
        h.edit(QString(), 0, 0);
        for (int i = 0; i < 3; ++i) {
            QKeyEvent repeat(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, u"a"_s, i > 0);
            QApplication::sendEvent(h.field, &repeat);
        }
        QCOMPARE(h.field->text(), u"aaa"_s);
    }

    void capsLockBadge()
    {
        Harness h;
        QVERIFY(h.show());
        h.field->setSecure(true);
        h.field->setText(u"pw"_s);
        const double plainWidth = VLRectInsetByEdgeInsets(QRectF(h.field->rect()), h.field->contentInset()).width();
        h.field->setFocus();
        QVERIFY(!h.field->isCapsOn());
        platform::setCapsLockOverride(true);
        QTest::keyClick(h.field, Qt::Key_CapsLock);
        QVERIFY(h.field->isCapsOn());
        QVERIFY(!h.field->capsLockLayer()->isHidden());
        QCOMPARE(h.field->contentInset().right, VLTextField::capsLockRoom);
        const double capsWidth = VLRectInsetByEdgeInsets(QRectF(h.field->rect()), h.field->contentInset()).width();
        QCOMPARE(capsWidth, plainWidth - VLTextField::capsLockRoom);
        // The badge's right edge sits at the field's own right inset.
        QCOMPARE(h.field->capsLockLayer()->frame().right(), double(h.field->width()));

        // Caps Lock released: the badge goes at once.
        platform::setCapsLockOverride(false);
        QTest::keyClick(h.field, Qt::Key_CapsLock);
        QVERIFY(h.field->capsLockLayer()->isHidden());

        // A plain field never shows it.
        platform::setCapsLockOverride(true);
        h.other->setFocus();
        QVERIFY(!h.other->isCapsOn());
        QVERIFY(h.other->capsLockLayer()->isHidden());
    }

    void keyboardStateIsReadWithoutTheOverride()
    {
        // Off at start-up on the test platforms (and on a fresh X server, asked through XKB).
        platform::setCapsLockOverride(std::nullopt);
        QCOMPARE(platform::isCapsLockOn(), false);
    }

    void delegateAndKeyViews()
    {
        Harness h;
        QVERIFY(h.show());
        h.edit(u"text"_s, 4, 4);
        QTest::keyClick(h.field, Qt::Key_Return);
        QCOMPARE(h.recorder.calls, (QStringList{u"willReturn"_s, u"endEditing"_s}));

        // Tab moves to the next key view; leaving puts the caret after the text and ends editing
        // a moment later.
        h.recorder.calls.clear();
        h.field->renderer().setSelectedRange({1, 2});
        QTest::keyClick(h.field, Qt::Key_Tab);
        QVERIFY(h.other->hasFocus());
        QCOMPARE(h.selection(), (VLTextRange{4, 0}));
        QVERIFY(h.recorder.calls.isEmpty());
        QTRY_COMPARE(h.recorder.calls, QStringList{u"endEditing"_s});

        // Esc is not the field's: it goes to the next responder.
        h.field->setFocus();
        QTest::keyClick(h.field, Qt::Key_Escape);
        QCOMPARE(h.receiver.commands, QStringList{commandName(Command::cancelOperation)});
    }

    void windowInTheBackgroundOnlyHidesTheCaret()
    {
        Harness h;
        QVERIFY(h.show());
        h.edit(u"abc"_s, 1, 1);
        QVERIFY(!h.field->caretLayer()->isHidden());

        QWidget other;
        other.resize(100, 100);
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QVERIFY(!h.field->isFirstResponder());
        QVERIFY(h.field->caretLayer()->isHidden());

        h.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&h.window));
        QVERIFY(h.field->isFirstResponder());
        QVERIFY(!h.field->caretLayer()->isHidden());
        // Still the same editing: the caret stays where it was (leaving the field would have put
        // it after the text and ended editing).
        QCOMPARE(h.selection(), (VLTextRange{1, 0}));
        QVERIFY(h.recorder.calls.isEmpty());
    }

    void focusSelectsEverythingAndPlaceholderShowsWhileEmpty()
    {
        Harness h;
        h.field->setPlaceholder(u"Password"_s);
        QVERIFY(h.show());
        QVERIFY(!h.field->placeholderLayer()->isHidden());
        QCOMPARE(h.field->placeholderLayer()->foregroundColor(), QColor(0, 0, 0, 77));
        h.field->setText(u"abc"_s);
        QVERIFY(h.field->placeholderLayer()->isHidden());
        // A short text stands in the middle of the field.
        QVERIFY(qAbs(h.field->textRect().center().x() - h.field->width() / 2.0) <= 1.0);
        h.field->setFocus();
        QCOMPARE(h.selection(), (VLTextRange{0, 3}));
        QVERIFY(h.field->caretLayer()->isHidden()); // a selection, no caret
    }

    void caretBlinksOnTheAnimationClock()
    {
        VLManualClock clock;
        Harness h;
        QVERIFY(h.show());
        QVERIFY(!h.field->isCaretBlinking());
        h.field->setFocus();
        QVERIFY(h.field->isCaretBlinking());
        QVERIFY(!h.field->caretLayer()->isHidden());
        clock.advance(0.3);
        QVERIFY(h.field->caretLayer()->opacity() < 0.9);
        clock.advance(0.6);
        QVERIFY(h.field->caretLayer()->opacity() > 0.1);

        // Typing shows the caret fully and starts the blink again.
        clock.advance(0.15);
        QTest::keyClick(h.field, Qt::Key_A);
        QCOMPARE(h.field->caretLayer()->opacity(), 1.0);
        QVERIFY(h.field->isCaretBlinking());

        h.other->setFocus();
        QVERIFY(!h.field->isCaretBlinking());
        QVERIFY(h.field->caretLayer()->isHidden());
    }

    void longTextKeepsTheCaretInView()
    {
        Harness h;
        QVERIFY(h.show());
        h.field->resize(60, 24);
        h.edit(QString(), 0, 0);
        QTest::keyClicks(h.field, u"a long text that does not fit"_s);
        const auto caretInField = [&h] {
            const QRectF caret = h.field->caretLayer()->frame().translated(
                h.field->textLayer()->superlayer()->frame().topLeft() + h.field->textLayer()->frame().topLeft());
            return caret.left() >= 0.0 && caret.right() <= h.field->width();
        };
        QVERIFY(caretInField());
        QTest::keyClick(h.field, Qt::Key_Home);
        QVERIFY(caretInField());
        QCOMPARE(h.field->textLayer()->frame().left(), 0.0);

        // After deleting from the end, the end of the text stays at the right edge.
        QTest::keyClick(h.field, Qt::Key_End);
        const double rightBefore = h.field->textLayer()->frame().left() + h.field->renderer().textSize().width();
        QTest::keyClick(h.field, Qt::Key_Backspace);
        QTest::keyClick(h.field, Qt::Key_Backspace);
        const double rightAfter = h.field->textLayer()->frame().left() + h.field->renderer().textSize().width();
        QVERIFY(qAbs(rightAfter - rightBefore) <= 1.0);
        QVERIFY(caretInField());
    }
};

QTEST_MAIN(TestTextField)
#include "tst_textfield.moc"
