#pragma once

#include <QString>

#include <functional>

class QWidget;
class VLViewController;

// Interface files are compiled by uic into set-up functions; this registry maps an interface-file
// name (as the nib-name helper gives it, "-Legacy" variants included) to its set-up function,
// which builds the widgets inside the given view and connects the owner's outlets.
class VLInterfaceRegistry final
{
public:
    using Setup = std::function<void(QWidget *view, VLViewController *owner)>;

    static void registerInterface(const QString &name, Setup setup);
    static void unregisterInterface(const QString &name);
    static bool contains(const QString &name);
    // An empty function when nothing is registered under the name.
    static Setup setupForName(const QString &name);

    // Registers a uic form class (Ui::Name with setupUi(QWidget *)) under a name; the callback
    // hands the form's widgets to the owner's outlets.
    template <class Form>
    static void registerForm(const QString &name, std::function<void(Form &form, VLViewController *owner)> outlets = {})
    {
        registerInterface(name, [outlets = std::move(outlets)](QWidget *view, VLViewController *owner) {
            Form form;
            form.setupUi(view);
            if (outlets)
                outlets(form, owner);
        });
    }

    VLInterfaceRegistry() = delete;
};
