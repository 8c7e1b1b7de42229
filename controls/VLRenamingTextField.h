#pragma once

#include "controls/VLRenamingTextFieldDelegate.h"
#include "controls/VLTextFieldDelegate.h"
#include "platform/core/VLError.h"
#include "platform/core/VLWeakDelegate.h"
#include "platform/view/VLClickCounter.h"
#include "platform/view/VLKeyBindings.h"

#include <QLabel>
#include <QPointer>

class VLTextField;

// A file-name label the user renames in place. Idle it is a plain label; a click selects it
// (drawn on a highlighted plate, the label has the focus); a double click or Return starts
// editing in the managed text field that lies in the same place (the label hides meanwhile);
// Return or leaving the field commits and Esc cancels, both back to selected. A committed name
// must be usable as a file name: a bad one is reported in an alert and the old name comes back;
// a good one goes to the delegate, which renames the file.
class VLRenamingTextField : public QLabel, public VLTextFieldDelegate, public platform::VLKeyBindingClient
{
    Q_OBJECT
    Q_PROPERTY(QString stringValue READ stringValue WRITE setStringValue)

public:
    explicit VLRenamingTextField(QWidget *parent = nullptr);
    ~VLRenamingTextField() override;

    QString stringValue() const { return text(); }
    void setStringValue(const QString &value) { setText(value); }

    VLTextField *managedTextField() const { return m_managedTextField; }
    // Copies the label's name into the field, makes the label its next responder and its
    // delegate, and hides it until editing begins.
    void setManagedTextField(VLTextField *field);

    QString previousStringValue() const { return m_previousStringValue; }

    VLRenamingTextFieldDelegate *delegate() const { return m_delegate.get(); }
    void setDelegate(VLRenamingTextFieldDelegate *delegate) { m_delegate.set(delegate); }

    bool acceptsFirstResponder() const { return true; }
    bool canBecomeKeyView() const { return true; }
    bool mouseDownCanMoveWindow() const { return false; }

    // Hands editing to the managed field; only while the label is selected.
    void beginEditing();
    // Back to selected; with fire, the delegate hears of the label's name. Only while editing.
    void endEditingFiringDelegate(bool fire);

    // The error a committed name is refused with; a null error for a usable name.
    static VLError errorForName(const QString &name);

    // Esc: while editing it cancels; while selected it goes on to the screen.
    Q_INVOKABLE void cancelOperation(QObject *sender);

    // VLTextFieldDelegate
    void textFieldDidEndEditing(VLTextField *textField) override;

    // platform::VLKeyBindingClient
    void insertText(const QString &text) override;
    void doCommandBySelector(platform::Command command) override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    bool isFirstResponder() const { return hasFocus(); }

    QPointer<VLTextField> m_managedTextField;
    QString m_previousStringValue;
    VLWeakDelegate<VLRenamingTextFieldDelegate> m_delegate;
    platform::VLClickCounter m_clickCounter;
    int m_pressClickCount = 0;
    bool m_keyPassedOn = false;
};
