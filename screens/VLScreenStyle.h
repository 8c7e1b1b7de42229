#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QLabel;
class QWidget;
class VLEncryptProgressImageView;
class VLRoundedButton;

// The look the flow screens share: light text on the window's dark content, and the amber
// panel of the overlay area with dark text on it.
namespace VLScreenStyle {

QColor textColor();
QColor secondaryTextColor();
QColor panelColor();
QColor panelTextColor();

QFont font(double pixelSize, QFont::Weight weight = QFont::Normal);

// The buttons of the flows look like those of the consent and About windows: pills with a white
// title, the tint for the action a screen is about, a faint white for the others. A Start Over
// button keeps its square edge against the window's side.
enum class ButtonRole { Primary, Secondary };
QColor tintColor();
// Call once the button has its frame: the corners are rounded by half its height.
void styleButton(VLRoundedButton *button, ButtonRole role);
inline constexpr double buttonHeight = 32.0;

// A one-line label placed by frame (no layout): centred, plain text, elided by the caller.
QLabel *makeLabel(QWidget *parent, const QString &objectName, double pixelSize, QFont::Weight weight,
                  const QColor &color);

// The text elided in the middle to the label's width, so both ends of a long name stay readable.
void setElidedText(QLabel *label, const QString &text);

// The top of the encrypt screens after the drop screen, in the same place on each so that the
// transitions between them can keep it still: the flow's heading, the icon of the set, its
// title and its size.
struct FileHeader
{
    QLabel *heading = nullptr;
    VLEncryptProgressImageView *fileImageView = nullptr;
    QLabel *titleLabel = nullptr;
    QLabel *sizeLabel = nullptr;
};
FileHeader makeFileHeader(QWidget *view, const QString &heading);

// The size of a screen: the main window's content.
inline constexpr double screenWidth = 460.0;
inline constexpr double screenHeight = 500.0;

} // namespace VLScreenStyle
