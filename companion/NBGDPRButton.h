#pragma once

#include <QColor>
#include <QPushButton>

// The consent window's flat button: a rounded fill and a centred title, each in the colour of
// the button's state (disabled, pressed, normal). The interface file sets every value.
class NBGDPRButton final : public QPushButton
{
    Q_OBJECT
    Q_PROPERTY(double cornerRadius READ cornerRadius WRITE setCornerRadius)
    Q_PROPERTY(double horizontalContentInset READ horizontalContentInset WRITE setHorizontalContentInset)
    Q_PROPERTY(QColor backgrounColor READ backgrounColor WRITE setBackgrounColor)
    Q_PROPERTY(QColor highlightedBackgroundColor READ highlightedBackgroundColor WRITE setHighlightedBackgroundColor)
    Q_PROPERTY(QColor titleColor READ titleColor WRITE setTitleColor)
    Q_PROPERTY(QColor highlightedTitleColor READ highlightedTitleColor WRITE setHighlightedTitleColor)
    Q_PROPERTY(QColor disabledBackgroundColor READ disabledBackgroundColor WRITE setDisabledBackgroundColor)
    Q_PROPERTY(QColor disabledTitleColor READ disabledTitleColor WRITE setDisabledTitleColor)

public:
    explicit NBGDPRButton(QWidget *parent = nullptr);

    double cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(double radius);
    double horizontalContentInset() const { return m_horizontalContentInset; }
    void setHorizontalContentInset(double inset);
    QColor backgrounColor() const { return m_backgrounColor; }
    void setBackgrounColor(const QColor &color);
    QColor highlightedBackgroundColor() const { return m_highlightedBackgroundColor; }
    void setHighlightedBackgroundColor(const QColor &color);
    QColor titleColor() const { return m_titleColor; }
    void setTitleColor(const QColor &color);
    QColor highlightedTitleColor() const { return m_highlightedTitleColor; }
    void setHighlightedTitleColor(const QColor &color);
    QColor disabledBackgroundColor() const { return m_disabledBackgroundColor; }
    void setDisabledBackgroundColor(const QColor &color);
    QColor disabledTitleColor() const { return m_disabledTitleColor; }
    void setDisabledTitleColor(const QColor &color);

    // The standard size, wider by the content inset on both sides.
    QSize sizeHint() const override;
    QSize intrinsicContentSize() const { return sizeHint(); }

    // The colours of the current state: disabled wins over pressed.
    QColor currentBezelColor() const;
    QColor currentTitleColor() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void setColor(QColor &slot, const QColor &color);

    double m_cornerRadius = 0.0;
    double m_horizontalContentInset = 0.0;
    QColor m_backgrounColor;
    QColor m_highlightedBackgroundColor;
    QColor m_titleColor;
    QColor m_highlightedTitleColor;
    QColor m_disabledBackgroundColor;
    QColor m_disabledTitleColor;
    // A ring shows only when the keyboard brought the focus here.
    bool m_keyboardFocus = false;
};
