#pragma once

#include "controls/VLGeometry.h"
#include "controls/VLTextFieldAutoCorrectedPair.h"
#include "controls/VLTextFieldDelegate.h"
#include "controls/VLTextFieldRenderer.h"
#include "platform/core/VLWeakDelegate.h"
#include "platform/view/VLClickCounter.h"
#include "platform/view/VLKeyBindings.h"

#include <QColor>
#include <QHash>
#include <QMenu>
#include <QPointer>
#include <QWidget>

#include <memory>

class VLLayer;
class VLTextLayer;
class VLTextFieldLayer;

// The self-drawn single-line field of the password and hint entries and of the rename label. It
// draws its text through its renderer in a small layer tree (text, blinking caret, placeholder,
// caps-lock badge), takes keys through the key-binding table and input methods through Qt's
// input-method events, and reports to its delegate.
//
// Focus is the first responder: gaining it selects the whole text, losing it puts the caret after
// the text and tells the delegate that editing ended, 0.1 s later. A window that goes to the
// background only hides the caret. Commands the field does not answer (Esc, a copy with nothing
// selected, any copy or cut while secure) go on along the responder chain.
class VLTextField : public QWidget, public platform::VLKeyBindingClient
{
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
    Q_PROPERTY(bool secure READ isSecure WRITE setSecure)
    Q_PROPERTY(QString placeholder READ placeholder WRITE setPlaceholder)
    Q_PROPERTY(int length READ length WRITE setLength)
    Q_PROPERTY(QColor textColor READ textColor WRITE setTextColor)
    Q_PROPERTY(QColor placeholderColor READ placeholderColor WRITE setPlaceholderColor)
    Q_PROPERTY(QColor backgroundColor READ backgroundColor WRITE setBackgroundColor)
    Q_PROPERTY(bool drawsFocusRing READ drawsFocusRing WRITE setDrawsFocusRing)
    Q_PROPERTY(bool spellCheckEnabled READ isSpellCheckEnabled WRITE setSpellCheckEnabled)

public:
    explicit VLTextField(QWidget *parent = nullptr);
    ~VLTextField() override;

    QString text() const;
    void setText(const QString &text);
    const VLAttributedText &attributedText() const;
    void setAttributedText(const VLAttributedText &text);

    bool isSecure() const;
    void setSecure(bool secure);

    QString placeholder() const { return m_placeholder; }
    void setPlaceholder(const QString &placeholder);

    // Maximum number of characters (UTF-16 units); 0 means none.
    int length() const { return m_length; }
    void setLength(int length) { m_length = length; }

    // The delegate is not owned; a QObject delegate is dropped when it is destroyed, any other
    // must clear itself before it goes.
    VLTextFieldDelegate *delegate() const;
    void setDelegate(VLTextFieldDelegate *delegate);

    QColor textColor() const { return m_textColor; }
    void setTextColor(const QColor &color);
    QColor placeholderColor() const { return m_placeholderColor; }
    void setPlaceholderColor(const QColor &color);
    QColor backgroundColor() const;
    void setBackgroundColor(const QColor &color);
    Qt::Alignment alignment() const { return m_alignment; }
    void setAlignment(Qt::Alignment alignment) { m_alignment = alignment; }

    // Margins of the text area inside the field; while the caps-lock badge shows, the right one
    // is larger by the badge's room.
    VLEdgeInsets contentInset() const;
    void setContentInset(const VLEdgeInsets &insets);
    static constexpr double capsLockRoom = 22.0;

    bool drawsFocusRing() const { return m_drawsFocusRing; }
    void setDrawsFocusRing(bool draws);
    bool isSpellCheckEnabled() const { return m_spellCheckEnabled; }
    void setSpellCheckEnabled(bool enabled) { m_spellCheckEnabled = enabled; }

    // The field's own focus flag: set while it is the focused widget of the active window.
    bool isFirstResponder() const { return m_isFirstResponder; }
    // Caps Lock is on and matters here: a focused secure field.
    bool isCapsOn() const;

    // The text area: the bounds without the insets, of unbounded width.
    QRectF textBoundingRect() const;
    // Where the text line shows inside the field.
    QRectF textRect() const;

    void selectAll();
    VLTextFieldRenderer &renderer() { return *m_renderer; }
    const VLTextFieldRenderer &renderer() const { return *m_renderer; }

    bool isCaretBlinking() const;
    void startCaretBlinking();
    void stopCaretBlinking();
    static inline const QString caretAnimationKey = QStringLiteral("caretAnimation");

    // The layers, for tests and for the layer that draws the text.
    VLLayer *caretLayer() const { return m_caretLayer; }
    VLLayer *capsLockLayer() const { return m_capsLockLayer; }
    VLTextLayer *placeholderLayer() const { return m_placeholderLayer; }
    VLTextFieldLayer *textLayer() const { return m_textLayer; }

    // platform::VLKeyBindingClient
    void insertText(const QString &text) override;
    void doCommandBySelector(platform::Command command) override;
    // Whether the field answers a command; copy and cut are refused while secure.
    bool respondsToCommand(platform::Command command) const;

    // Called by the renderer.
    void textDidChange();
    void textDidEndEditing();
    void textDidMoveToNextKey();
    void textDidMoveToPrevKey();
    void discardMarkedText();
    void invalidateCharacterCoordinates();
    // The mouse went down in the field while it was not focused.
    void becomeFirstResponderFromMouse();
    // A command that the field does not perform goes along the responder chain.
    bool passCommandToNextResponder(platform::Command command);

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

    // Spelling. A field checks its text after every layout pass, marks misspelled words, applies
    // automatic corrections except to the word being typed and offers guesses in its context
    // menu. A field that has ever been secure never checks: its text may be a password shown in
    // the open.
    bool hasHeldSecureText() const { return m_heldSecureText; }
    // The context menu for a point of the field, as a right click there shows it.
    std::unique_ptr<QMenu> menuForEvent(QPointF position);
    // The menu a right click opened, while it is open.
    QMenu *contextMenu() const { return m_contextMenu; }
    // The menu's actions: a guess, or the text a correction replaced, takes the place of the word
    // the menu was opened on.
    void replaceMisspelledWord(const QString &guess);
    void replaceAutoCorrectedWord(const QString &sourceString);
    bool validateMenuItem(const QAction *item) const;
    // The results of the last check applied, and the number of the latest check asked for.
    const QList<platform::TextCheckingResult> &spellCheckResults() const { return m_spellCheckResults; }
    qint64 spellCheckToken() const { return m_spellCheckToken; }
    // A check was asked for and its answer has not come back yet.
    bool isSpellCheckPending() const { return m_answeredSpellCheckToken != m_spellCheckToken; }

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

    virtual void becomeFirstResponder();
    virtual void resignFirstResponder();

private:
    void setupLayers();
    void setupAttributes();
    void updateContentsScale();
    void layoutPass();
    void checkSpelling();
    void applySpellCheckAnswer(qint64 sequenceNumber, const QList<platform::TextCheckingResult> &results,
                               const QString &checkedText);
    void standardMenuWithMenu(QMenu &menu);
    void replaceSelectedCheckingResult(const QString &replacement);
    QPointF textLayerPoint(QPointF widgetPoint) const;
    QRectF widgetRectFromTextLayer(const QRectF &rect) const;

    std::unique_ptr<VLTextFieldRenderer> m_renderer;
    VLLayer *m_rootLayer = nullptr;
    VLLayer *m_capsLockLayer = nullptr;
    VLTextLayer *m_placeholderLayer = nullptr;
    VLLayer *m_scrollLayer = nullptr;
    VLTextFieldLayer *m_textLayer = nullptr;
    VLLayer *m_caretLayer = nullptr;

    VLWeakDelegate<VLTextFieldDelegate> m_delegate;

    QString m_placeholder;
    QColor m_textColor = Qt::black;
    QColor m_placeholderColor = QColor(0, 0, 0, 77);
    Qt::Alignment m_alignment = Qt::AlignLeft;
    VLEdgeInsets m_contentInset;
    double m_scrollOffset = 0.0;
    std::optional<QString> m_previousString;
    int m_length = 0;
    bool m_drawsFocusRing = false;
    bool m_spellCheckEnabled = true;
    bool m_isFirstResponder = false;
    bool m_inInputMethodEvent = false;
    bool m_commandPassedOn = false;
    bool m_mouseSelecting = false;
    bool m_focusedByPress = false;
    bool m_focusInWindow = false;
    platform::VLClickCounter m_clickCounter;

    // Spelling state.
    bool m_heldSecureText = false;
    qint64 m_spellCheckToken = 0;
    qint64 m_answeredSpellCheckToken = 0;
    QList<platform::TextCheckingResult> m_spellCheckResults;
    // The text and selection the last applied results were found in and applied to.
    QString m_spellCheckedText;
    VLTextRange m_spellCheckedSelection;
    // The word a context menu was opened on: where it stands now and what stands there.
    std::optional<platform::TextCheckingResult> m_selectedTextCheckingResult;
    QString m_selectedCheckedText;
    QHash<VLTextFieldAutoCorrectedPair, QString> m_autoCorrectedResults;
    QPointer<QMenu> m_contextMenu;
};
