#include "controls/VLTextFieldAdditions.h"

#include <QApplication>
#include <QDynamicPropertyChangeEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPointer>

namespace {

constexpr char kKerningKey[] = "swp_fontKerning";
constexpr char kDarkBackgroundKey[] = "swp_hasDarkBackground";
constexpr char kBackgroundStyleKey[] = "swp_backgroundStyle";

// Applies values that interface files (or anyone) set by name.
class PropertyWatcher final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::DynamicPropertyChange || !watched->isWidgetType())
            return false;
        auto *field = static_cast<QWidget *>(watched);
        if (!VLTextFieldAdditions::isTextField(field))
            return false;
        const QByteArray name = static_cast<QDynamicPropertyChangeEvent *>(event)->propertyName();
        if (name == kKerningKey) {
            const double kerning = field->property(kKerningKey).toDouble();
            const double inForce = field->font().letterSpacing();
            if (kerning == 0.0 && inForce != 0.0)
                field->setProperty(kKerningKey, inForce); // as the setter, 0 leaves the old spacing
            else if (kerning != 0.0)
                VLTextFieldAdditions::updateKerningValue(field);
        } else if (name == kDarkBackgroundKey) {
            VLTextFieldAdditions::setSwp_hasDarkBackground(field, field->property(kDarkBackgroundKey).toBool());
        }
        return false;
    }
};

} // namespace

void VLTextFieldAdditions::install()
{
    // One watcher per application object; it goes with the application.
    static QPointer<PropertyWatcher> watcher;
    if (watcher || !qApp)
        return;
    watcher = new PropertyWatcher(qApp);
    qApp->installEventFilter(watcher);
}

bool VLTextFieldAdditions::isTextField(const QWidget *widget)
{
    return qobject_cast<const QLabel *>(widget) || qobject_cast<const QLineEdit *>(widget);
}

double VLTextFieldAdditions::swp_fontKerning(const QWidget *field)
{
    return field->property(kKerningKey).toDouble();
}

void VLTextFieldAdditions::setSwp_fontKerning(QWidget *field, double kerning)
{
    if (kerning == 0.0)
        return;
    field->setProperty(kKerningKey, kerning);
    updateKerningValue(field);
}

void VLTextFieldAdditions::updateKerningValue(QWidget *field)
{
    QFont font = field->font();
    const double kerning = swp_fontKerning(field);
    if (font.letterSpacingType() == QFont::AbsoluteSpacing && font.letterSpacing() == kerning)
        return;
    font.setLetterSpacing(QFont::AbsoluteSpacing, kerning);
    field->setFont(font);
}

bool VLTextFieldAdditions::swp_hasDarkBackground(const QWidget *field)
{
    return field->property(kDarkBackgroundKey).toBool();
}

int VLTextFieldAdditions::backgroundStyle(const QWidget *field)
{
    return field->property(kBackgroundStyleKey).toInt();
}

void VLTextFieldAdditions::setSwp_hasDarkBackground(QWidget *field, bool dark)
{
    if (field->property(kDarkBackgroundKey) != QVariant(dark))
        field->setProperty(kDarkBackgroundKey, dark);
    const int style = dark ? 1 : 0;
    if (backgroundStyle(field) == style && field->property(kBackgroundStyleKey).isValid())
        return;
    field->setProperty(kBackgroundStyleKey, style);

    // Only the default text colours follow the background; colours a layout chose stay.
    const QPalette standard = QApplication::palette(field);
    const QColor light = standard.color(QPalette::BrightText);
    QPalette palette = field->palette();
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text}) {
        const QColor current = palette.color(role);
        if (dark && current == standard.color(role))
            palette.setColor(role, light);
        else if (!dark && current == light)
            palette.setColor(role, standard.color(role));
    }
    field->setPalette(palette);
}
