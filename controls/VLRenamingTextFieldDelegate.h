#pragma once

#include <QString>

class VLRenamingTextField;

// Told when the user committed a name in a VLRenamingTextField.
class VLRenamingTextFieldDelegate
{
public:
    virtual ~VLRenamingTextFieldDelegate() = default;
    // The name passed the field's rules; it may equal the old one (the delegate compares).
    virtual void renamingTextFieldDidRename(VLRenamingTextField *field, const QString &name)
    {
        Q_UNUSED(field)
        Q_UNUSED(name)
    }
};
