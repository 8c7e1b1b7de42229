#include "controls/VLRenamingTextField.h"

#include "controls/VLErrorPresentation.h"
#include "controls/VLTextField.h"
#include "platform/view/VLResponderChain.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

const QString kCocoaErrorDomain = QStringLiteral("NSCocoaErrorDomain");
constexpr qint64 kInvalidFileNameError = 514;

} // namespace

VLRenamingTextField::VLRenamingTextField(QWidget *parent) : QLabel(parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

VLRenamingTextField::~VLRenamingTextField()
{
    if (m_managedTextField && m_managedTextField->delegate() == this)
        m_managedTextField->setDelegate(nullptr);
}

void VLRenamingTextField::setManagedTextField(VLTextField *field)
{
    if (m_managedTextField && m_managedTextField->delegate() == this)
        m_managedTextField->setDelegate(nullptr);
    m_managedTextField = field;
    if (!field)
        return;
    field->setText(text());
    field->setDelegate(this);
    vlSetNextResponder(field, this);
    if (!isHidden())
        field->hide();
}

VLError VLRenamingTextField::errorForName(const QString &name)
{
    // A slash would move the file into another folder, and a NUL would cut the name short: both
    // are refused like a colon.
    if (name.contains(QLatin1Char(':')) || name.contains(QLatin1Char('/')) || name.contains(QChar(0))) {
        return VLError(kCocoaErrorDomain, kInvalidFileNameError,
                       {{VLError::localizedDescriptionKey, tr("The name “%1” can't be used.").arg(name)},
                        {VLError::localizedRecoverySuggestionKey,
                         tr("Try using a name with fewer characters, or with no punctuation marks.")}});
    }
    // This also keeps "." and "..", which name folders, from being taken.
    if (name.startsWith(QLatin1Char('.'))) {
        return VLError(kCocoaErrorDomain, kInvalidFileNameError,
                       {{VLError::localizedDescriptionKey,
                         tr("You can’t use a name that begins with a dot “.”, because these names are reserved for "
                            "the system. Please choose another name.")}});
    }
    return {};
}

void VLRenamingTextField::beginEditing()
{
    if (!isFirstResponder() || !m_managedTextField)
        return;
    m_previousStringValue = text();
    m_managedTextField->setText(m_previousStringValue);
    // The field takes the focus before the label hides, so the focus never wanders elsewhere.
    m_managedTextField->show();
    m_managedTextField->setFocus(Qt::OtherFocusReason);
    hide();
}

void VLRenamingTextField::endEditingFiringDelegate(bool fire)
{
    if (isFirstResponder())
        return;
    show();
    setFocus(Qt::OtherFocusReason);
    if (m_managedTextField)
        m_managedTextField->hide();
    if (fire) {
        if (VLRenamingTextFieldDelegate *receiver = delegate())
            receiver->renamingTextFieldDidRename(this, text());
    }
}

void VLRenamingTextField::textFieldDidEndEditing(VLTextField *textField)
{
    Q_UNUSED(textField)
    // The field's late report after Esc or a commit finds the label selected again.
    if (isFirstResponder() || !m_managedTextField)
        return;
    const QString old = text();
    const QString name = m_managedTextField->text();
    const VLError error = errorForName(name);
    if (!name.isEmpty())
        setText(name);
    // Editing ends whatever the name: a refused or empty one leaves the label selected, showing
    // the old name again, rather than the field stuck open. The label takes the focus before the
    // alert opens, so the focus comes back to it when the alert closes.
    endEditingFiringDelegate(!error && !name.isEmpty());
    if (error) {
        QPointer<VLRenamingTextField> self(this);
        vlPresentError(error, window(), [self, old](int) {
            if (self)
                self->setText(old);
        });
    }
}

void VLRenamingTextField::cancelOperation(QObject *sender)
{
    if (isFirstResponder()) {
        // Selected only: the screen's own Esc.
        if (!vlTryToPerform(this, platform::Command::cancelOperation, sender))
            m_keyPassedOn = true;
        return;
    }
    endEditingFiringDelegate(false);
}

void VLRenamingTextField::insertText(const QString &text)
{
    Q_UNUSED(text)
    m_keyPassedOn = true;
}

void VLRenamingTextField::doCommandBySelector(platform::Command command)
{
    if (command == platform::Command::insertNewline) {
        beginEditing();
    } else if (command == platform::Command::cancelOperation) {
        cancelOperation(this);
    } else if (command == platform::Command::insertTab || command == platform::Command::insertBacktab) {
        const bool forward = command == platform::Command::insertTab;
        if (!vlSelectNextKeyView(window(), forward))
            focusNextPrevChild(forward);
    } else {
        m_keyPassedOn = true;
    }
}

void VLRenamingTextField::keyPressEvent(QKeyEvent *event)
{
    m_keyPassedOn = false;
    if (!platform::interpretKeyEvents(*event, *this) || m_keyPassedOn) {
        event->ignore();
        return;
    }
    event->accept();
}

void VLRenamingTextField::mousePressEvent(QMouseEvent *event)
{
    m_pressClickCount = m_clickCounter.countForPress(*event);
    if (!isFirstResponder())
        setFocus(Qt::MouseFocusReason);
    event->accept();
}

void VLRenamingTextField::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_pressClickCount == 2) {
        event->accept();
        beginEditing();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

void VLRenamingTextField::wheelEvent(QWheelEvent *event)
{
    event->accept();
}

void VLRenamingTextField::focusInEvent(QFocusEvent *event)
{
    QLabel::focusInEvent(event);
    update();
}

void VLRenamingTextField::focusOutEvent(QFocusEvent *event)
{
    QLabel::focusOutEvent(event);
    update();
}

void VLRenamingTextField::paintEvent(QPaintEvent *event)
{
    if (isFirstResponder()) {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QColor plate = isActiveWindow() ? palette().color(QPalette::Active, QPalette::Highlight)
                                              : QColor(Qt::darkGray);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), 4.0, 4.0);
        painter.fillPath(path, plate);
    }
    QLabel::paintEvent(event);
}
