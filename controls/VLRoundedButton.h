#pragma once

#include "controls/VLControl.h"
#include "controls/VLLayer.h"

#include <QColor>
#include <QFont>
#include <QPixmap>

// The push button of the screens: a title, an optional image to its right and a press shade,
// drawn in layers over a rounded background. Fades to half alpha when disabled.
class VLRoundedButton : public VLControl, public VLLayerDelegate
{
    Q_OBJECT
    Q_PROPERTY(QString title READ title WRITE setTitle)
    Q_PROPERTY(QFont font READ font WRITE setFont)
    Q_PROPERTY(QString fontName READ fontName WRITE setFontName)
    Q_PROPERTY(double fontSize READ fontSize WRITE setFontSize)
    Q_PROPERTY(QPixmap image READ image WRITE setImage)
    Q_PROPERTY(QColor titleColor READ titleColor WRITE setTitleColor)
    Q_PROPERTY(QColor backgroundColor READ backgroundColor WRITE setBackgroundColor)
    Q_PROPERTY(double cornerRadius READ cornerRadius WRITE setCornerRadius)
    Q_PROPERTY(bool vibrant READ vibrant WRITE setVibrant)
public:
    explicit VLRoundedButton(QWidget *parent = nullptr);
    ~VLRoundedButton() override;

    QString title() const { return m_title; }
    void setTitle(const QString &title);
    // The title's font; its size is fontSize, in pixels. Hides QWidget's font on purpose: the
    // widget's own font follows it.
    QFont font() const { return m_font; }
    void setFont(const QFont &font);
    QString fontName() const { return m_fontName; }
    void setFontName(const QString &name);
    double fontSize() const { return m_fontSize; }
    void setFontSize(double size);
    QPixmap image() const { return m_image; }
    void setImage(const QPixmap &image);
    QColor titleColor() const { return m_titleColor; }
    void setTitleColor(const QColor &color);
    QColor backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const QColor &color);
    virtual double cornerRadius() const;
    virtual void setCornerRadius(double radius);

    // Fades the alpha to 1.0 (enabled) or 0.5 (disabled) over 0.25 s, or sets it at once. Only
    // the button's own state counts: a disabled ancestor does not fade it.
    void setEnabledAnimated(bool enabled, bool animated);
    // The unanimated form; hides QWidget's, whose direct calls still set the alpha at once.
    void setEnabled(bool enabled) { setEnabledAnimated(enabled, false); }

    bool allowsVibrancy() const { return vibrant(); }
    bool vibrant() const { return m_vibrant; }
    void setVibrant(bool vibrant) { m_vibrant = vibrant; }

    // On screens below a scale of 2 the view draws the title itself, the text layer stays clear.
    virtual bool shouldDrawManually() const;
    double backingScaleFactor() const { return m_contentsScale; }
    void updateContentsScale();
    void viewDidChangeBackingProperties();

    VLLayer *viewLayer() const { return m_viewLayer; }
    VLTextLayer *textLayer() const { return m_textLayer; }
    VLLayer *shadeLayer() const { return m_shadeLayer; }
    VLLayer *imageLayer() const { return m_imageLayer; }

    QSize sizeHint() const override;
    QSize intrinsicContentSize() const { return sizeHint(); }

    void drawFocusRingMask(QPainter &painter) const override;

    // VLLayerDelegate: the view layer's own contents are drawRect's.
    void drawLayerInContext(const VLLayer *layer, QPainter &painter) const override;

    static inline const QString enabledAnimationKey = QStringLiteral("enabledAnimationKey");

protected:
    virtual void resizeLayers();
    virtual void drawRect(QPainter &painter) const;
    // Title and image sizes and the gap between them, as laid out.
    QSizeF titleSize() const;
    QSizeF imageSize() const;
    double imageGap() const;

    void trackingChanged(bool inside) override;
    void trackingFinished(bool inside) override;

    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void commonInit();
    void applyContentsScale(double scale);
    void applyEnabledAppearance(bool animated);
    void titleOrFontChanged();

    QString m_title;
    QFont m_font;
    QString m_fontName;
    double m_fontSize = 13.0;
    QPixmap m_image;
    QColor m_titleColor;
    QColor m_backgroundColor;
    bool m_vibrant = true;
    double m_contentsScale = 1.0;
    bool m_appliedEnabled = true;
    bool m_animateEnabledChange = false;

    VLLayer *m_viewLayer = nullptr;
    VLLayer *m_shadeLayer = nullptr;
    VLTextLayer *m_textLayer = nullptr;
    VLLayer *m_imageLayer = nullptr;
};
