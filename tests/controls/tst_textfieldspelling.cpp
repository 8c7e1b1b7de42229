#include "controls/VLLayer.h"
#include "controls/VLTextField.h"
#include "controls/VLTextFieldLayer.h"
#include "platform/core/Log.h"
#include "platform/spelling/SpellChecker.h"

#include <QLineEdit>
#include <QTest>
#include <QTextCharFormat>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {

// A window with a field to type in and a line edit that takes the focus first.
struct Harness
{
    QWidget window;
    QLineEdit *sink = new QLineEdit(&window);
    VLTextField *field = new VLTextField(&window);

    Harness()
    {
        window.resize(420, 80);
        sink->setGeometry(10, 46, 100, 24);
        field->setGeometry(10, 10, 400, 24);
    }
    bool show()
    {
        window.show();
        window.activateWindow();
        if (!QTest::qWaitForWindowActive(&window))
            return false;
        field->setFocus(Qt::OtherFocusReason);
        return field->hasFocus();
    }
    QString text() const { return field->text(); }
    qsizetype caret() const { return field->renderer().selectedRange().location; }

    // Waits until the field's checks have come back and been applied (a correction asks again).
    bool settle() const
    {
        return QTest::qWaitFor([this] { return !field->isSpellCheckPending(); }, 10000);
    }

    // The ranges of the misspelling marks, "start+length".
    QStringList marks() const
    {
        QStringList found;
        for (const QTextLayout::FormatRange &range : field->attributedText().formats) {
            if (range.format.underlineStyle() == QTextCharFormat::DotLine && range.format.underlineColor() == Qt::red)
                found << QString::number(range.start) + u'+' + QString::number(range.length);
        }
        return found;
    }

    // The middle of a character of the text, in window coordinates.
    QPoint pointAtIndex(qsizetype index) const
    {
        const QRectF rect = field->renderer().firstRectForCharacterRange({index, 1});
        const QPointF inField = rect.center() + field->textLayer()->superlayer()->frame().topLeft()
                                + field->textLayer()->frame().topLeft();
        return field->mapTo(&window, inField.toPoint());
    }

    // Right-clicks a character with real mouse events and answers the menu that opens.
    QMenu *rightClick(qsizetype index)
    {
        QTest::mouseClick(window.windowHandle(), Qt::RightButton, {}, pointAtIndex(index));
        return field->contextMenu();
    }

    // Reddish pixels inside the field as drawn.
    int redPixels()
    {
        const QImage image = window.grab(field->geometry()).toImage().convertToFormat(QImage::Format_ARGB32);
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                count += c.red() > 150 && c.green() < 100 && c.blue() < 100;
            }
        }
        return count;
    }
};

QStringList titles(const QMenu *menu)
{
    QStringList found;
    for (const QAction *action : menu->actions())
        found << (action->isSeparator() ? u"-"_s : action->text());
    return found;
}

QAction *actionTitled(const QMenu *menu, const QString &title)
{
    for (QAction *action : menu->actions()) {
        if (action->text() == title)
            return action;
        if (action->menu()) {
            if (QAction *inner = actionTitled(action->menu(), title))
                return inner;
        }
    }
    return nullptr;
}

void clickItem(QMenu *menu, const QString &title)
{
    QAction *action = actionTitled(menu, title);
    QVERIFY2(action, qPrintable(title));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
}

} // namespace

class TestTextFieldSpelling : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QCOMPARE(platform::SpellChecker::shared().language(), u"en_US"_s); }

    void init() { platform::SpellChecker::shared().setAutomaticSpellingCorrectionEnabled(true); }

    void typedWordIsCorrectedWhenASpaceEndsIt_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("corrected");
        QTest::newRow("same length") << u"teh"_s << u"the"_s;
        QTest::newRow("one longer") << u"alot"_s << u"a lot"_s;
    }

    void typedWordIsCorrectedWhenASpaceEndsIt()
    {
        QFETCH(QString, word);
        QFETCH(QString, corrected);
        Harness h;
        QVERIFY(h.show());
        QTest::keyClicks(h.field, u"I saw "_s + word);
        QVERIFY(h.settle());
        QCOMPARE(h.text(), u"I saw "_s + word);
        QVERIFY(h.marks().isEmpty());

        QTest::keyClick(h.field, Qt::Key_Space);
        QVERIFY(h.settle());
        QCOMPARE(h.text(), u"I saw "_s + corrected + u' ');
        QCOMPARE(h.caret(), h.text().size());
        QVERIFY(h.marks().isEmpty());
        // Typing goes on where the caret moved to.
        QTest::keyClicks(h.field, u"it"_s);
        QCOMPARE(h.text(), u"I saw "_s + corrected + u" it"_s);
    }

    void misspellingElsewhereIsUnderlinedUntilCorrected()
    {
        Harness h;
        QVERIFY(h.show());
        h.field->setText(u"say helo there"_s);
        QVERIFY(h.settle());
        QCOMPARE(h.marks(), QStringList{u"4+4"_s});
        QVERIFY(h.redPixels() > 0);

        h.field->renderer().setSelectedRange({7, 0});
        QTest::keyClicks(h.field, u"l"_s);
        QCOMPARE(h.text(), u"say hello there"_s);
        QVERIFY(h.settle());
        QVERIFY(h.marks().isEmpty());
        QCOMPARE(h.redPixels(), 0);
    }

    void nothingIsShownRightAfterAnApostrophe()
    {
        Harness h;
        QVERIFY(h.show());
        h.field->setText(u"say helo don'"_s);
        QVERIFY(h.settle());
        QVERIFY(h.marks().isEmpty());
        QTest::keyClicks(h.field, u"t"_s);
        QVERIFY(h.settle());
        QCOMPARE(h.marks(), QStringList{u"4+4"_s});
    }

    // The caret moves with a correction before it, and stays where it is for one after it.
    void caretFollowsOnlyCorrectionsBeforeIt_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("caret");
        QTest::addColumn<QString>("corrected");
        QTest::addColumn<int>("newCaret");
        QTest::newRow("before") << u"alot of cats"_s << 10 << u"a lot of cats"_s << 11;
        QTest::newRow("after") << u"cats alot"_s << 2 << u"cats a lot"_s << 2;
    }

    void caretFollowsOnlyCorrectionsBeforeIt()
    {
        QFETCH(QString, text);
        QFETCH(int, caret);
        QFETCH(QString, corrected);
        QFETCH(int, newCaret);
        Harness h;
        QVERIFY(h.show());
        h.field->setText(text);
        h.field->renderer().setSelectedRange({caret, 0});
        h.field->renderer().textDidChange();
        QVERIFY(h.settle());
        QCOMPARE(h.text(), corrected);
        QCOMPARE(h.caret(), newCaret);
    }

    // A text the user has not typed in, all selected as the field gains focus (as a file name
    // to rename is), is marked but not corrected.
    void selectedTextIsOnlyMarked()
    {
        Harness h;
        QVERIFY(h.show());
        h.field->setText(u"teh alot cat"_s);
        h.field->selectAll();
        QVERIFY(h.settle());
        QCOMPARE(h.text(), u"teh alot cat"_s);
        QCOMPARE(h.marks(), (QStringList{u"0+3"_s, u"4+4"_s}));

        QTest::keyClick(h.field, Qt::Key_End);
        QVERIFY(h.settle());
        QCOMPARE(h.text(), u"the a lot cat"_s);
    }

    void changeBackIsKept()
    {
        Harness h;
        QVERIFY(h.show());
        QTest::keyClicks(h.field, u"alot "_s);
        QVERIFY(h.settle());
        QCOMPARE(h.text(), u"a lot "_s);

        QMenu *menu = h.rightClick(1);
        QVERIFY(menu);
        QCOMPARE(titles(menu).value(0), u"Change Back to \"alot\""_s);
        clickItem(menu, u"Change Back to \"alot\""_s);
        QCOMPARE(h.text(), u"alot "_s);
        QCOMPARE(h.caret(), 5);
        QVERIFY(h.settle());
        QCOMPARE(h.text(), u"alot "_s);
        QCOMPARE(h.marks(), QStringList{u"0+4"_s});

        QTest::keyClicks(h.field, u"of cats "_s);
        QVERIFY(h.settle());
        QCOMPARE(h.text(), u"alot of cats "_s);
    }

    void guessesReplaceTheWord()
    {
        Harness h;
        QVERIFY(h.show());
        h.field->setText(u"say helo there"_s);
        QVERIFY(h.settle());
        QMenu *menu = h.rightClick(5);
        QVERIFY(menu);
        QVERIFY(titles(menu).contains(u"hello"_s));
        clickItem(menu, u"hello"_s);
        QCOMPARE(h.text(), u"say hello there"_s);
        QCOMPARE(h.caret(), 15);
        QVERIFY(h.settle());
        QVERIFY(h.marks().isEmpty());
    }

    void aWordWithoutGuessesSaysSo()
    {
        Harness h;
        QVERIFY(h.show());
        h.field->setText(u"qzxjkvw and more"_s);
        QVERIFY(h.settle());
        QCOMPARE(h.marks(), QStringList{u"0+7"_s});
        QMenu *menu = h.rightClick(2);
        QVERIFY(menu);
        QCOMPARE(titles(menu).mid(0, 5), (QStringList{u"No guesses"_s, u"-"_s, u"Cut"_s, u"Copy"_s, u"Paste"_s}));
        QVERIFY(!menu->actions().first()->isEnabled());
        QCOMPARE(titles(menu).mid(5), (QStringList{u"-"_s, u"Spelling and Grammar"_s, u"Substitutions"_s,
                                                   u"Transformations"_s, u"Speech"_s}));
    }

    void editingItemsFollowTheSelection_data()
    {
        QTest::addColumn<bool>("secure");
        QTest::addColumn<bool>("selection");
        QTest::addColumn<QStringList>("expectedTitles");
        QTest::addColumn<QList<bool>>("enabled");

        const QStringList secureTitles{u"Cut"_s, u"Copy"_s, u"Paste"_s, u"Delete"_s, u"Select All"_s};
        QTest::newRow("secure, caret") << true << false << secureTitles << QList<bool>{false, false, true, false, true};
        QTest::newRow("secure, selection")
            << true << true << secureTitles << QList<bool>{false, false, true, true, true};
        const QStringList plainTitles{u"Cut"_s, u"Copy"_s, u"Paste"_s};
        QTest::newRow("plain, caret") << false << false << plainTitles << QList<bool>{false, true, true};
        QTest::newRow("plain, selection") << false << true << plainTitles << QList<bool>{true, true, true};
    }

    void editingItemsFollowTheSelection()
    {
        QFETCH(bool, secure);
        QFETCH(bool, selection);
        QFETCH(QStringList, expectedTitles);
        QFETCH(QList<bool>, enabled);
        Harness h;
        QVERIFY(h.show());
        h.field->setSecure(secure);
        QTest::keyClicks(h.field, u"open sesame"_s);
        if (selection)
            h.field->renderer().setSelectedRange({0, 4});
        QVERIFY(h.settle());
        QMenu *menu = h.rightClick(2);
        QVERIFY(menu);
        QCOMPARE(titles(menu).mid(0, expectedTitles.size()), expectedTitles);
        if (secure)
            QCOMPARE(titles(menu).size(), expectedTitles.size());
        for (qsizetype i = 0; i < enabled.size(); ++i)
            QCOMPARE(menu->actions().at(i)->isEnabled(), enabled.at(i));
    }

    // A password stays away from the checker, also once it is shown with Show.
    void secureTextIsNeverChecked()
    {
        Harness h;
        QVERIFY(h.show());
        h.field->setSecure(true);
        const qint64 token = h.field->spellCheckToken();
        QTest::keyClicks(h.field, u"teh brwn "_s);
        QCOMPARE(h.field->spellCheckToken(), token);

        h.field->setSecure(false);
        QTest::keyClicks(h.field, u"teh "_s);
        QCOMPARE(h.text(), u"teh brwn teh "_s);
        QCOMPARE(h.field->spellCheckToken(), token);
        QVERIFY(h.field->hasHeldSecureText());
        QVERIFY(h.marks().isEmpty());
        const QStringList menu = titles(h.rightClick(1));
        QVERIFY(!menu.contains(u"No guesses"_s));
        QVERIFY(!menu.contains(u"the"_s));
        QCOMPARE(menu.value(0), u"Cut"_s);

        // Cleared and typed again, it is still the password field shown in the open.
        h.field->setText(QString());
        QTest::keyClicks(h.field, u"teh "_s);
        QCOMPARE(h.field->spellCheckToken(), token);
        QCOMPARE(h.text(), u"teh "_s);
    }

    void aFieldMadeSecureDropsTheAnswerUnderWay()
    {
        Harness h;
        QVERIFY(h.show());
        h.field->setText(u"teh brwn "_s);
        QVERIFY(h.field->isSpellCheckPending());
        h.field->setSecure(true);
        QVERIFY(h.settle());
        QCOMPARE(h.text(), u"teh brwn "_s);
        QVERIFY(h.marks().isEmpty());
    }

    // Text changed without a new check: the old answer no longer fits and is neither applied
    // nor offered.
    void staleResultsAreIgnored_data()
    {
        QTest::addColumn<QString>("checked");
        QTest::addColumn<QString>("current");
        QTest::newRow("words moved") << u"we teh helo on"_s << u"we cat dog tehhelo on"_s;
        QTest::newRow("text shortened") << u"we teh helo on"_s << u"we"_s;
    }

    void staleResultsAreIgnored()
    {
        QFETCH(QString, checked);
        QFETCH(QString, current);
        QStringList log;
        platform::setLogSink([&log](const QString &line) { log << line; });
        Harness h;
        QVERIFY(h.show());
        h.field->setText(checked);
        h.field->setAttributedText({current, {}});
        QVERIFY(h.settle());
        platform::setLogSink({});
        QCOMPARE(h.text(), current);
        QCOMPARE(h.marks(), QStringList());
        QVERIFY(!log.filter(u"Autocorrection result that's out of range"_s).isEmpty());
        QMenu *menu = h.rightClick(std::min<qsizetype>(4, current.size() - 1));
        QVERIFY(menu);
        QCOMPARE(titles(menu).value(0), u"Cut"_s);
    }

    void automaticCorrectionCanBeSwitchedOff()
    {
        Harness h;
        QVERIFY(h.show());
        QTest::keyClicks(h.field, u"teh"_s);
        QVERIFY(h.settle());
        QMenu *menu = h.rightClick(0);
        QVERIFY(menu);
        QAction *toggle = actionTitled(menu, u"Correct Spelling Automatically"_s);
        QVERIFY(toggle);
        QVERIFY(toggle->isEnabled());
        QVERIFY(toggle->isChecked());
        toggle->trigger();
        menu->close();
        QVERIFY(!platform::SpellChecker::shared().isAutomaticSpellingCorrectionEnabled());

        QTest::keyClicks(h.field, u" cat"_s);
        QVERIFY(h.settle());
        QCOMPARE(h.text(), u"teh cat"_s);
        QCOMPARE(h.marks(), QStringList{u"0+3"_s});
        QVERIFY(!actionTitled(h.rightClick(5), u"Correct Spelling Automatically"_s)->isChecked());
    }
};

QTEST_MAIN(TestTextFieldSpelling)
#include "tst_textfieldspelling.moc"
