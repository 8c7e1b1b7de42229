#include "ControlTestSupport.h"

#include "controls/VLErrorPresentation.h"
#include "controls/VLRenamingTextField.h"
#include "controls/VLTextField.h"
#include "platform/view/VLResponderChain.h"
#include "windowing/windows/VLAlertHandler.h"
#include "windowing/windows/VLErrorsHandler.h"

#include <QMessageBox>
#include <QScopeGuard>

using namespace Qt::StringLiterals;

namespace {

class RenameRecorder : public QObject, public VLRenamingTextFieldDelegate
{
    Q_OBJECT
public:
    QStringList names;
    void renamingTextFieldDidRename(VLRenamingTextField *, const QString &name) override { names << name; }
};

// The screen behind the label: hears the Esc the label does not use.
class Screen : public QObject
{
    Q_OBJECT
public:
    int cancels = 0;
    Q_INVOKABLE void cancelOperation(QObject *) { ++cancels; }
};

struct Harness
{
    QWidget window;
    // Created first, so the window's first focus lands here and not on the label.
    QLineEdit *sink = new QLineEdit(&window);
    VLRenamingTextField *label = new VLRenamingTextField(&window);
    VLTextField *field = new VLTextField(&window);
    VLTextField *elsewhere = new VLTextField(&window);
    RenameRecorder recorder;
    Screen screen;
    PlatformMouse mouse{label};

    Harness()
    {
        window.resize(300, 130);
        sink->setGeometry(10, 100, 100, 24);
        label->setGeometry(10, 10, 200, 24);
        field->setGeometry(10, 10, 200, 24);
        elsewhere->setGeometry(10, 60, 200, 24);
        label->setText(u"Report"_s);
        label->setManagedTextField(field);
        label->setDelegate(&recorder);
        vlSetNextResponder(label, &screen);
    }
    bool show()
    {
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }
    void clicks(int count) { mouse.clicks(label->rect().center(), count); }
    bool isIdle() const { return label->isVisible() && !label->hasFocus() && field->isHidden(); }
    bool isSelected() const { return label->isVisible() && label->hasFocus() && field->isHidden(); }
    bool isEditing() const { return label->isHidden() && field->isVisible() && field->hasFocus(); }
    void startEditing()
    {
        label->setFocus();
        QTest::keyClick(label, Qt::Key_Return);
    }
    // Replaces the name in the managed field (all of it is selected when editing begins).
    void type(const QString &name)
    {
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        if (name.isEmpty())
            QTest::keyClick(field, Qt::Key_Backspace);
        else
            QTest::keyClicks(field, name);
    }
};

} // namespace

class TestRenamingTextField : public QObject
{
    Q_OBJECT

private slots:
    // The window layer shows the field's refusals, as in the program's main window.
    void initTestCase() { VLErrorsHandler::presentControlErrors(); }
    void init() { VLAlertHandler::clearLastAlert(); }

    void clicksSelectThenEdit()
    {
        Harness h;
        QVERIFY(h.show());
        QCOMPARE(h.field->text(), u"Report"_s);
        QVERIFY(h.isIdle());

        h.clicks(1);
        QVERIFY(h.isSelected());
        // A second single click does not start editing; a double click does.
        h.clicks(1);
        QVERIFY(h.isSelected());
        h.clicks(2);
        QVERIFY(h.isEditing());
        QCOMPARE(h.label->previousStringValue(), u"Report"_s);
        QCOMPARE(h.field->renderer().selectedRange(), (VLTextRange{0, 6}));
    }

    void returnCommitsAndEscCancels()
    {
        Harness h;
        QVERIFY(h.show());
        h.startEditing();
        QVERIFY(h.isEditing());
        h.type(u"Taxes"_s);
        QTest::keyClick(h.field, Qt::Key_Return);
        QVERIFY(h.isSelected());
        QCOMPARE(h.label->text(), u"Taxes"_s);
        QCOMPARE(h.recorder.names, QStringList{u"Taxes"_s});

        // Esc while editing keeps the old name and tells nobody.
        QTest::keyClick(h.label, Qt::Key_Return);
        QVERIFY(h.isEditing());
        h.type(u"Other"_s);
        QTest::keyClick(h.field, Qt::Key_Escape);
        QVERIFY(h.isSelected());
        QCOMPARE(h.label->text(), u"Taxes"_s);
        QCOMPARE(h.screen.cancels, 0);

        // Esc while only selected reaches the screen.
        QTest::keyClick(h.label, Qt::Key_Escape);
        QCOMPARE(h.screen.cancels, 1);
        QVERIFY(h.isSelected());

        // The field's late report of its end of editing finds the label selected: nothing changes.
        h.label->textFieldDidEndEditing(h.field);
        QCOMPARE(h.recorder.names, QStringList{u"Taxes"_s});
        QVERIFY(h.isSelected());
    }

    void unchangedNameIsStillReported()
    {
        Harness h;
        QVERIFY(h.show());
        h.startEditing();
        QTest::keyClick(h.field, Qt::Key_Return);
        QCOMPARE(h.recorder.names, QStringList{u"Report"_s});
    }

    void leavingTheFieldCommits()
    {
        Harness h;
        QVERIFY(h.show());
        h.startEditing();
        h.type(u"Moved"_s);
        h.elsewhere->setFocus(Qt::MouseFocusReason);
        QTRY_COMPARE(h.recorder.names, QStringList{u"Moved"_s});
        QVERIFY(h.isSelected());
    }

    void refusedNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("suggestion");
        const QString punctuation = u"Try using a name with fewer characters, or with no punctuation marks."_s;
        const QString dot = u"You can’t use a name that begins with a dot “.”, because these names are reserved for "
                            "the system. Please choose another name."_s;
        QTest::newRow("colon") << u"a:b"_s << u"The name “a:b” can't be used."_s << punctuation;
        QTest::newRow("dot and colon") << u".a:b"_s << u"The name “.a:b” can't be used."_s << punctuation;
        QTest::newRow("leading dot") << u".hidden"_s << dot << QString();
        QTest::newRow("slash") << u"../escape"_s << u"The name “../escape” can't be used."_s << punctuation;
        QTest::newRow("inner slash") << u"a/b"_s << u"The name “a/b” can't be used."_s << punctuation;
        QTest::newRow("dot") << u"."_s << dot << QString();
        QTest::newRow("dot dot") << u".."_s << dot << QString();
    }

    void refusedNames()
    {
        QFETCH(QString, name);
        Harness h;
        QVERIFY(h.show());
        h.startEditing();
        h.type(name);
        VLAlertHandler::setNextAnswer(1000);
        QTest::keyClick(h.field, Qt::Key_Return);
        const std::optional<VLAlert> alert = VLAlertHandler::lastAlert();
        QVERIFY(alert.has_value());
        QTEST(alert->messageText(), "message");
        QTEST(alert->informativeText(), "suggestion");
        // Editing ends at once and the old name comes back when the alert closes; the delegate
        // hears nothing.
        QVERIFY(h.isSelected());
        QTRY_COMPARE(h.label->text(), u"Report"_s);
        QVERIFY(h.isSelected());
        QVERIFY(h.recorder.names.isEmpty());
        // A second try edits the old name again.
        QTest::keyClick(h.label, Qt::Key_Return);
        QVERIFY(h.isEditing());
        QCOMPARE(h.field->text(), u"Report"_s);
    }

    void refusedNameAlertGivesTheLabelBack()
    {
        Harness h;
        QVERIFY(h.show());
        h.startEditing();
        h.type(u"a:b"_s);
        QTest::keyClick(h.field, Qt::Key_Return);
        QTRY_VERIFY(VLAlertHandler::currentAlert(&h.window) != nullptr);
        QMessageBox *alert = VLAlertHandler::currentAlert(&h.window);
        // Behind the sheet the label is back, the field gone.
        QVERIFY(h.label->isVisible());
        QVERIFY(h.field->isHidden());
        QTRY_VERIFY(alert->isActiveWindow());
        QTest::keyClick(alert, Qt::Key_Return);
        QTRY_COMPARE(VLAlertHandler::currentAlert(&h.window), nullptr);
        QCOMPARE(h.label->text(), u"Report"_s);
        // The label is the window's focus, which it has again as the window becomes active.
        QCOMPARE(h.window.focusWidget(), h.label);
        h.window.activateWindow();
        QTRY_VERIFY(h.isSelected());
        QVERIFY(h.recorder.names.isEmpty());
    }

    void refusedNameWithoutPresenterGivesTheOldNameBack()
    {
        // Without the window layer the refusal is only logged, and the field never waits for an
        // alert that no one shows.
        vlSetErrorPresenter({});
        const auto restore = qScopeGuard([] { VLErrorsHandler::presentControlErrors(); });
        Harness h;
        QVERIFY(h.show());
        h.startEditing();
        h.type(u"a:b"_s);
        QTest::keyClick(h.field, Qt::Key_Return);
        QVERIFY(!VLAlertHandler::lastAlert().has_value());
        QCOMPARE(h.label->text(), u"Report"_s);
        QVERIFY(h.isSelected());
        QVERIFY(h.recorder.names.isEmpty());
    }

    void acceptedNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("inner dot") << u"my.report"_s;
        QTest::newRow("very long") << QString(200, u'x');
        QTest::newRow("trailing dots") << u"report.."_s;
    }

    void acceptedNames()
    {
        QFETCH(QString, name);
        Harness h;
        QVERIFY(h.show());
        h.startEditing();
        h.type(name);
        QTest::keyClick(h.field, Qt::Key_Return);
        QVERIFY(!VLAlertHandler::lastAlert().has_value());
        QCOMPARE(h.recorder.names, QStringList{name});
    }

    void emptyNameIsDroppedSilently()
    {
        Harness h;
        QVERIFY(h.show());
        h.startEditing();
        h.type(QString());
        QTest::keyClick(h.field, Qt::Key_Return);
        QCOMPARE(h.label->text(), u"Report"_s);
        QVERIFY(h.isSelected());
        QVERIFY(h.recorder.names.isEmpty());
        QVERIFY(!VLAlertHandler::lastAlert().has_value());

        // Leaving the field with an empty name ends editing the same way.
        QTest::keyClick(h.label, Qt::Key_Return);
        h.type(QString());
        h.elsewhere->setFocus(Qt::MouseFocusReason);
        QTRY_VERIFY(h.label->hasFocus());
        QVERIFY(h.isSelected());
        QCOMPARE(h.label->text(), u"Report"_s);
        QVERIFY(h.recorder.names.isEmpty());
    }
};

QTEST_MAIN(TestRenamingTextField)
#include "tst_renamingtextfield.moc"
