#pragma once

#include <QString>

class VLTextField;

// What a VLTextField tells the one who owns it. Every notice is optional: the defaults do
// nothing.
class VLTextFieldDelegate
{
public:
    virtual ~VLTextFieldDelegate() = default;

    // The text changed (typing, deleting, pasting, setText); sent once per change, with the
    // new text.
    virtual void textFieldTextDidChange(VLTextField *textField, const QString &text)
    {
        Q_UNUSED(textField)
        Q_UNUSED(text)
    }
    // Return was pressed; textFieldDidEndEditing follows at once.
    virtual void textFieldDidWillReturn(VLTextField *textField) { Q_UNUSED(textField) }
    // Return was pressed, or the field lost the focus a moment ago.
    virtual void textFieldDidEndEditing(VLTextField *textField) { Q_UNUSED(textField) }
};
