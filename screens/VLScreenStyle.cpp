#include "screens/VLScreenStyle.h"

#include "controls/VLHexColor.h"
#include "controls/VLRoundedButton.h"
#include "screens/VLEncryptProgressImageView.h"

#include "windowing/navigation/VLViewHierarchy.h"

#include <QFontMetricsF>
#include <QLabel>
#include <QPalette>

namespace VLScreenStyle {

QColor textColor()
{
    return QColor(235, 235, 235);
}

QColor secondaryTextColor()
{
    return QColor(150, 150, 150);
}

QColor panelColor()
{
    return VLHexColor::vl_colorFromHex(QStringLiteral("F7C431"));
}

QColor panelTextColor()
{
    return VLHexColor::vl_colorFromHex(QStringLiteral("5A3C00"));
}

QFont font(double pixelSize, QFont::Weight weight)
{
    QFont result(QStringLiteral("DejaVu Sans"));
    result.setPixelSize(qRound(pixelSize));
    result.setWeight(weight);
    return result;
}

QColor tintColor()
{
    return QColor(58, 160, 255);
}

void styleButton(VLRoundedButton *button, ButtonRole role)
{
    if (!button)
        return;
    button->setTitleColor(Qt::white);
    button->setBackgroundColor(role == ButtonRole::Primary ? tintColor() : QColor(255, 255, 255, 31));
    button->setFont(font(13, role == ButtonRole::Primary ? QFont::DemiBold : QFont::Normal));
    button->setCornerRadius(button->height() * 0.5);
}

QLabel *makeLabel(QWidget *parent, const QString &objectName, double pixelSize, QFont::Weight weight,
                  const QColor &color)
{
    auto *label = new QLabel(parent);
    label->setObjectName(objectName);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignCenter);
    label->setFont(font(pixelSize, weight));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

void setElidedText(QLabel *label, const QString &text)
{
    const QFontMetricsF metrics(label->font());
    label->setText(metrics.elidedText(text, Qt::ElideMiddle, label->width()));
    label->setToolTip(label->text() == text ? QString() : text);
}

FileHeader makeFileHeader(QWidget *view, const QString &heading)
{
    FileHeader header;
    header.heading = makeLabel(view, QStringLiteral("headingLabel"), 15, QFont::Normal, secondaryTextColor());
    header.heading->setText(heading);
    vlSetViewFrame(header.heading, QRectF(20, 22, screenWidth - 40, 24));
    header.fileImageView = new VLEncryptProgressImageView(view);
    header.fileImageView->setObjectName(QStringLiteral("fileImageView"));
    vlSetViewFrame(header.fileImageView, QRectF((screenWidth - 128) * 0.5, 64, 128, 128));
    header.titleLabel = makeLabel(view, QStringLiteral("titleLabel"), 17, QFont::DemiBold, textColor());
    vlSetViewFrame(header.titleLabel, QRectF(30, 204, screenWidth - 60, 26));
    header.sizeLabel = makeLabel(view, QStringLiteral("sizeLabel"), 12, QFont::Normal, secondaryTextColor());
    vlSetViewFrame(header.sizeLabel, QRectF(30, 232, screenWidth - 60, 18));
    for (QWidget *part : {static_cast<QWidget *>(header.heading), static_cast<QWidget *>(header.titleLabel),
                          static_cast<QWidget *>(header.sizeLabel)})
        vlSetAutoresizingMask(part, VLViewWidthSizable | VLViewMinYMargin);
    vlSetAutoresizingMask(header.fileImageView, VLViewMinXMargin | VLViewMaxXMargin | VLViewMinYMargin);
    return header;
}

} // namespace VLScreenStyle
