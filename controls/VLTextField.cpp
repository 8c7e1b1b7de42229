#include "controls/VLTextField.h"

#include "controls/VLLayer.h"
#include "controls/VLTextFieldLayer.h"
#include "platform/animation/VLAnimatableProperty.h"
#include "platform/animation/VLAnimator.h"
#include "platform/animation/VLBasicAnimation.h"
#include "platform/view/CapsLock.h"
#include "platform/view/VLResponderChain.h"

#include <QFocusEvent>
#include <QGuiApplication>
#include <QImageReader>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTextCharFormat>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kCaretBlinkDuration = 0.6;
constexpr int kEndEditingDelayMs = 100;
const QSizeF kCapsLockImageSize(18.0, 18.0);

QImage capsLockImage()
{
    // Drawn at twice its size, so the badge stays sharp on high-density screens.
    QImageReader reader(QStringLiteral(":/images/CapsLockIndicator.svg"));
    reader.setScaledSize((kCapsLockImageSize * 2.0).toSize());
    QImage image = reader.read();
    image.setDevicePixelRatio(2.0);
    return image;
}

QFont defaultFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(13);
    return font;
}

} // namespace

VLTextField::VLTextField(QWidget *parent) : QWidget(parent), m_renderer(std::make_unique<VLTextFieldRenderer>(this))
{
    setAttribute(Qt::WA_InputMethodEnabled);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::IBeamCursor);
    setFont(defaultFont());
    m_renderer->setBounds(textBoundingRect());
    setupAttributes();
    setupLayers();
}

VLTextField::~VLTextField()
{
    VLAnimator::removeAllAnimations(m_caretLayer);
}

void VLTextField::setupLayers()
{
    m_rootLayer = new VLLayer(this);
    m_rootLayer->setHostView(this);
    m_rootLayer->setFrame(QRectF(rect()));
    m_rootLayer->setMasksToBounds(true);

    m_capsLockLayer = new VLLayer(m_rootLayer);
    m_capsLockLayer->setContents(capsLockImage());
    m_capsLockLayer->setFrame(
        QRectF(QPointF(width() - kCapsLockImageSize.width(), (height() - kCapsLockImageSize.height()) * 0.5),
               kCapsLockImageSize));
    m_capsLockLayer->setHidden(true);

    m_placeholderLayer = new VLTextLayer(m_rootLayer);
    m_placeholderLayer->setFont(font());
    m_placeholderLayer->setFontSize(font().pixelSize() > 0 ? font().pixelSize() : font().pointSizeF());
    m_placeholderLayer->setForegroundColor(m_placeholderColor);
    m_placeholderLayer->setAlignmentMode(Qt::AlignHCenter);
    m_placeholderLayer->setFrame(QRectF(rect()));

    m_scrollLayer = new VLLayer(m_rootLayer);
    m_scrollLayer->setMasksToBounds(true);
    m_scrollLayer->setFrame(QRectF(width() * 0.5, 0.0, 1.0, height()));

    m_textLayer = new VLTextFieldLayer(m_scrollLayer);
    m_textLayer->setRenderer(m_renderer.get());
    m_renderer->setTextLayer(m_textLayer);
    m_textLayer->setFrame(m_scrollLayer->bounds());

    m_caretLayer = new VLLayer(m_textLayer);
    m_caretLayer->setBackgroundColor(m_textColor);
    m_caretLayer->setFrame(QRectF(0.0, 0.0, 1.0, height()));
    m_caretLayer->setHidden(true);
    // The blink drives the caret's opacity itself; nothing else may fade it.
    m_caretLayer->setActionForKey(QStringLiteral("opacity"), nullptr);

    m_rootLayer->addSublayer(m_capsLockLayer);
    m_rootLayer->addSublayer(m_placeholderLayer);
    m_rootLayer->addSublayer(m_scrollLayer);
    m_scrollLayer->addSublayer(m_textLayer);
    m_textLayer->addSublayer(m_caretLayer);

    layoutPass();
}

void VLTextField::setupAttributes()
{
    VLTextFieldAttributes attributes;
    attributes.font = font();
    attributes.foregroundColor = m_textColor;
    attributes.alignment = m_alignment;
    attributes.underlineColor = Qt::blue;
    m_renderer->setDefaultAttributes(attributes);
}

QString VLTextField::text() const
{
    return m_renderer->string();
}

void VLTextField::setText(const QString &text)
{
    m_renderer->setString(text);
}

const VLAttributedText &VLTextField::attributedText() const
{
    return m_renderer->attributedString();
}

void VLTextField::setAttributedText(const VLAttributedText &text)
{
    m_renderer->setAttributedString(text);
}

bool VLTextField::isSecure() const
{
    return m_renderer->isSecure();
}

void VLTextField::setSecure(bool secure)
{
    m_renderer->setSecure(secure);
    updateMicroFocus();
}

void VLTextField::setPlaceholder(const QString &placeholder)
{
    m_placeholder = placeholder;
    if (m_placeholderLayer)
        m_placeholderLayer->setString(placeholder);
    layoutPass();
}

VLTextFieldDelegate *VLTextField::delegate() const
{
    return m_delegate.get();
}

void VLTextField::setDelegate(VLTextFieldDelegate *delegate)
{
    m_delegate.set(delegate);
}

void VLTextField::setTextColor(const QColor &color)
{
    m_textColor = color;
    if (m_caretLayer)
        m_caretLayer->setBackgroundColor(color);
    setupAttributes();
    layoutPass();
}

void VLTextField::setPlaceholderColor(const QColor &color)
{
    m_placeholderColor = color;
    if (m_placeholderLayer)
        m_placeholderLayer->setForegroundColor(color);
    layoutPass();
}

QColor VLTextField::backgroundColor() const
{
    return m_scrollLayer ? m_scrollLayer->backgroundColor() : QColor(Qt::transparent);
}

void VLTextField::setBackgroundColor(const QColor &color)
{
    if (m_scrollLayer)
        m_scrollLayer->setBackgroundColor(color);
}

VLEdgeInsets VLTextField::contentInset() const
{
    VLEdgeInsets insets = m_contentInset;
    if (isCapsOn())
        insets.right += capsLockRoom;
    return insets;
}

void VLTextField::setContentInset(const VLEdgeInsets &insets)
{
    m_contentInset = insets;
    m_renderer->setBounds(textBoundingRect());
    m_renderer->textDidChange();
}

void VLTextField::setDrawsFocusRing(bool draws)
{
    m_drawsFocusRing = draws;
    update();
}

bool VLTextField::isCapsOn() const
{
    return m_isFirstResponder && isSecure() && platform::isCapsLockOn();
}

QRectF VLTextField::textBoundingRect() const
{
    const QRectF area = VLRectInsetByEdgeInsets(QRectF(rect()), m_contentInset);
    // Unbounded width: the one line never wraps.
    return VLRectWithWidth(area, std::numeric_limits<double>::max());
}

QRectF VLTextField::textRect() const
{
    const QRectF area = VLRectInsetByEdgeInsets(QRectF(rect()), contentInset());
    const double w = std::max(m_renderer->cursorWidth(), m_renderer->textSize().width());
    if (area.width() <= w)
        return area;
    // A text that fits is centred in the field, but never runs into the right inset.
    QRectF centred(QPointF((width() - w) * 0.5, area.y()), QSizeF(w, area.height()));
    if (centred.right() > area.right())
        centred.moveLeft(centred.left() - (centred.right() - area.right()));
    return centred;
}

void VLTextField::selectAll()
{
    m_renderer->selectAll();
}

bool VLTextField::isCaretBlinking() const
{
    return VLAnimator::animationForKey(m_caretLayer, caretAnimationKey) != nullptr;
}

void VLTextField::startCaretBlinking()
{
    stopCaretBlinking();
    auto blink = VLBasicAnimation::animationWithPropertyNamed(kVLLayerOpacity);
    blink->setFromValue(1.0);
    blink->setToValue(0.0);
    blink->setDuration(kCaretBlinkDuration);
    blink->setAutoreverses(true);
    blink->setRepeatForever(true);
    VLAnimator::addAnimationForKey(m_caretLayer, blink, caretAnimationKey);
}

void VLTextField::stopCaretBlinking()
{
    if (!m_caretLayer)
        return;
    VLAnimator::removeAnimationForKey(m_caretLayer, caretAnimationKey);
    // The caret shows fully while it does not blink (typing, moving).
    m_caretLayer->setOpacityWithoutAction(1.0);
}

void VLTextField::insertText(const QString &text)
{
    m_renderer->insertText(text);
}

bool VLTextField::respondsToCommand(platform::Command command) const
{
    // A secure field's text never goes out: no copy, no cut.
    if (isSecure() && (command == platform::Command::copy || command == platform::Command::cut))
        return false;
    return m_renderer->respondsToCommand(command);
}

void VLTextField::doCommandBySelector(platform::Command command)
{
    if (respondsToCommand(command) && m_renderer->performCommand(command))
        return;
    passCommandToNextResponder(command);
}

bool VLTextField::passCommandToNextResponder(platform::Command command)
{
    if (vlTryToPerform(this, command, this))
        return true;
    m_commandPassedOn = true; // the key event goes on to the parents and the shortcuts
    return false;
}

void VLTextField::textDidChange()
{
    layoutPass();
}

void VLTextField::layoutPass()
{
    if (!m_rootLayer)
        return;
    stopCaretBlinking();
    const QSizeF textSize = m_renderer->textSize();
    const double cursorWidth = m_renderer->cursorWidth();
    const QRectF tr = VLRectIntegral(textRect());
    const QRectF cursor = VLRectIntegral(m_renderer->cursorFrame());
    const bool capsOn = isCapsOn();

    const bool caretHidden = m_renderer->selectedRange().length > 0 || !m_isFirstResponder;
    if (m_caretLayer->isHidden() != caretHidden)
        m_caretLayer->setHidden(caretHidden);
    if (m_capsLockLayer->isHidden() != !capsOn)
        m_capsLockLayer->setHidden(!capsOn);
    const bool placeholderHidden = !text().isEmpty();
    if (m_placeholderLayer->isHidden() != placeholderHidden)
        m_placeholderLayer->setHidden(placeholderHidden);

    {
        VLLayerActionsDisabled noActions;
        m_rootLayer->setFrame(QRectF(rect()));
        m_placeholderLayer->setFrame(VLRectIntegral(QRectF(0.0, tr.y() + cursor.y(), width(), cursor.height())));
        const QSizeF image = kCapsLockImageSize;
        const double badgeX = width() - image.width() - contentInset().right + (capsOn ? capsLockRoom : 0.0);
        m_capsLockLayer->setFrame(QRectF(QPointF(badgeX, (height() - image.height()) * 0.5), image));

        // Scrolling: after deletions the end of the text is pulled to the right edge instead of
        // leaving room behind it; otherwise the selection (the caret) is kept in view.
        const double w = std::max(cursorWidth, textSize.width());
        const QRectF visible(m_scrollOffset, 0.0, tr.width(), tr.height());
        const QRectF target = visible.right() > w ? VLRectIntegralWithX(visible, w - tr.width())
                                                  : m_renderer->selectionFrame();
        if (target.left() < m_scrollOffset)
            m_scrollOffset = target.left();
        else if (target.right() > m_scrollOffset + tr.width())
            m_scrollOffset = target.right() - tr.width();
        m_scrollOffset = std::max(0.0, m_scrollOffset);

        m_scrollLayer->setFrame(tr);
        m_textLayer->setFrame(QRectF(-m_scrollOffset, 0.0, std::max(w, tr.width() + m_scrollOffset), tr.height()));
        m_caretLayer->setFrame(cursor);
    }
    // The caret blinks again once the text stands still; a hidden caret does not need to.
    if (!caretHidden)
        startCaretBlinking();

    const QString current = text();
    if (VLTextFieldDelegate *receiver = delegate(); receiver && m_previousString != current) {
        m_previousString = current;
        QPointer<VLTextField> self(this);
        receiver->textFieldTextDidChange(this, current);
        if (!self)
            return;
    }
    m_previousString = current;
    checkSpelling();
    update();
}

void VLTextField::textDidEndEditing()
{
    QPointer<VLTextField> self(this);
    if (VLTextFieldDelegate *receiver = delegate())
        receiver->textFieldDidWillReturn(this);
    if (!self)
        return;
    if (VLTextFieldDelegate *receiver = delegate())
        receiver->textFieldDidEndEditing(this);
}

void VLTextField::textDidMoveToNextKey()
{
    if (!vlSelectNextKeyView(window(), true))
        focusNextPrevChild(true);
}

void VLTextField::textDidMoveToPrevKey()
{
    if (!vlSelectNextKeyView(window(), false))
        focusNextPrevChild(false);
}

void VLTextField::discardMarkedText()
{
    // During the input method's own event it already knows; telling it again could make it
    // commit the composition a second time.
    if (!m_inInputMethodEvent && hasFocus())
        QGuiApplication::inputMethod()->reset();
}

void VLTextField::invalidateCharacterCoordinates()
{
    if (hasFocus())
        QGuiApplication::inputMethod()->update(Qt::ImQueryInput);
}

void VLTextField::becomeFirstResponderFromMouse()
{
    setFocus(Qt::MouseFocusReason);
}

void VLTextField::becomeFirstResponder()
{
    m_isFirstResponder = true;
    m_renderer->selectAll();
    m_renderer->unmarkText();
    layoutPass();
}

void VLTextField::resignFirstResponder()
{
    m_isFirstResponder = false;
    m_renderer->resetSelection();
    m_renderer->unmarkText();
    stopCaretBlinking();
    update();
    // Told a moment later, after the focus has settled where it went.
    QTimer::singleShot(kEndEditingDelayMs, this, [this] {
        if (VLTextFieldDelegate *receiver = delegate())
            receiver->textFieldDidEndEditing(this);
    });
}

QPointF VLTextField::textLayerPoint(QPointF widgetPoint) const
{
    return widgetPoint - m_scrollLayer->frame().topLeft() - m_textLayer->frame().topLeft();
}

QRectF VLTextField::widgetRectFromTextLayer(const QRectF &rect) const
{
    return rect.translated(m_scrollLayer->frame().topLeft() + m_textLayer->frame().topLeft());
}

QVariant VLTextField::inputMethodQuery(Qt::InputMethodQuery query) const
{
    // A secure field tells input methods nothing of its text.
    const bool secure = isSecure();
    const QString string = secure ? QString() : text();
    const VLTextRange selection = m_renderer->selectedRange();
    const qsizetype cursor = secure ? 0 : m_renderer->selectionEnd();
    switch (query) {
    case Qt::ImEnabled:
        return isEnabled();
    case Qt::ImHints: {
        Qt::InputMethodHints hints = Qt::ImhNoAutoUppercase;
        if (secure)
            hints |= Qt::ImhHiddenText | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText;
        return int(hints);
    }
    case Qt::ImCursorRectangle:
    case Qt::ImAnchorRectangle:
        return widgetRectFromTextLayer(m_renderer->cursorFrame());
    case Qt::ImFont:
        return font();
    case Qt::ImCursorPosition:
        return int(cursor);
    case Qt::ImAnchorPosition:
        return int(secure ? 0 : m_renderer->selectionStart());
    case Qt::ImSurroundingText:
        return string;
    case Qt::ImCurrentSelection:
        return secure ? QString() : string.mid(selection.location, selection.length);
    case Qt::ImTextBeforeCursor:
        return string.left(cursor);
    case Qt::ImTextAfterCursor:
        return string.mid(cursor);
    case Qt::ImMaximumTextLength:
        return m_length > 0 ? QVariant(m_length) : QVariant();
    default:
        return QWidget::inputMethodQuery(query);
    }
}

void VLTextField::inputMethodEvent(QInputMethodEvent *event)
{
    m_inInputMethodEvent = true;
    const QString commit = event->commitString();
    if (!commit.isEmpty() || event->replacementLength() != 0) {
        VLTextRange replacement{VLTextRange::notFound, 0};
        if (!m_renderer->hasMarkedText() && event->replacementLength() != 0)
            replacement = {m_renderer->selectionEnd() + event->replacementStart(), event->replacementLength()};
        m_renderer->insertTextReplacementRange(commit, replacement);
    }

    const QString preedit = event->preeditString();
    if (!preedit.isEmpty()) {
        VLTextRange selected{preedit.size(), 0};
        QList<QTextLayout::FormatRange> formats;
        for (const QInputMethodEvent::Attribute &attribute : event->attributes()) {
            if (attribute.type == QInputMethodEvent::Cursor) {
                selected = {std::clamp<qsizetype>(attribute.start, 0, preedit.size()), 0};
            } else if (attribute.type == QInputMethodEvent::TextFormat) {
                const QTextCharFormat format = attribute.value.value<QTextFormat>().toCharFormat();
                if (format.isValid() && attribute.length > 0)
                    formats.append({attribute.start, attribute.length, format});
            }
        }
        m_renderer->setMarkedTextSelectedRangeReplacementRange(preedit, selected, {VLTextRange::notFound, 0}, formats);
    } else if (m_renderer->hasMarkedText()) {
        // The composition was cancelled.
        m_renderer->setMarkedTextSelectedRangeReplacementRange(QString(), {0, 0}, {VLTextRange::notFound, 0});
    }
    m_inInputMethodEvent = false;
    event->accept();
}

bool VLTextField::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride: {
        // Keys the field answers are its own, not the menus'.
        auto *key = static_cast<QKeyEvent *>(event);
        const platform::VLKeyCommand command = platform::keyCommandForEvent(*key);
        if (!command.isEmpty() && (command.isInsertText() || respondsToCommand(*command.command)))
            event->accept();
        return QWidget::event(event);
    }
    case QEvent::KeyPress:
        // Tab and Backtab too: they are commands of the field (next and previous key view).
        keyPressEvent(static_cast<QKeyEvent *>(event));
        return true;
    default:
        return QWidget::event(event);
    }
}

void VLTextField::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_CapsLock) {
        if (m_isFirstResponder)
            m_renderer->textDidChange();
        event->accept();
        return;
    }
    // A held key in a secure field types one character per repeat, each like a fresh press:
    // repeats are not told apart here.
    m_commandPassedOn = false;
    if (!platform::interpretKeyEvents(*event, *this) || m_commandPassedOn) {
        event->ignore();
        return;
    }
    event->accept();
}

void VLTextField::keyReleaseEvent(QKeyEvent *event)
{
    // Caps Lock unlocks at the release of its second press.
    if (event->key() == Qt::Key_CapsLock && m_isFirstResponder)
        m_renderer->textDidChange();
    QWidget::keyReleaseEvent(event);
}

void VLTextField::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const int clickCount = m_clickCounter.countForPress(*event);
    m_mouseSelecting = true;
    m_renderer->mouseDown(textLayerPoint(event->position()), clickCount,
                          event->modifiers().testFlag(Qt::ShiftModifier));
    // Qt focuses a clicked field before the press arrives; the click that brought the focus
    // selects the whole text all the same.
    if (m_focusedByPress)
        m_renderer->selectAll();
    m_focusedByPress = false;
    event->accept();
}

void VLTextField::mouseMoveEvent(QMouseEvent *event)
{
    if (m_mouseSelecting && (event->buttons() & Qt::LeftButton))
        m_renderer->mouseDragged(textLayerPoint(event->position()));
    event->accept();
}

void VLTextField::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_mouseSelecting && event->button() == Qt::LeftButton) {
        m_mouseSelecting = false;
        m_renderer->mouseUp();
    }
    event->accept();
}

void VLTextField::wheelEvent(QWheelEvent *event)
{
    event->accept(); // the one line does not scroll by wheel
}

void VLTextField::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    if ((event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        && m_focusInWindow) {
        // The window came back to the front, or a popup such as the context menu closed, with
        // the field still focused in it.
        m_isFirstResponder = true;
        layoutPass();
        return;
    }
    m_focusInWindow = true;
    m_focusedByPress = event->reason() == Qt::MouseFocusReason;
    becomeFirstResponder();
}

void VLTextField::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason) {
        // The window went to the background: the field stays its focus, only the caret goes.
        m_isFirstResponder = false;
        layoutPass();
        return;
    }
    m_focusInWindow = false;
    m_focusedByPress = false;
    resignFirstResponder();
}

void VLTextField::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_renderer->setBounds(textBoundingRect());
    m_renderer->textDidChange();
}

void VLTextField::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange && m_rootLayer) {
        // The placeholder keeps the font it was made with.
        setupAttributes();
        m_renderer->textDidChange();
    }
}

void VLTextField::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    m_rootLayer->renderInContext(painter);
    if (m_drawsFocusRing && m_isFirstResponder) {
        QColor ring = palette().color(QPalette::Highlight);
        ring.setAlphaF(0.75f);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(ring, 2.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(m_scrollLayer->frame().adjusted(-1.0, -1.0, 1.0, 1.0), 2.0, 2.0);
    }
}
