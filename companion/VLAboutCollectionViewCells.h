#pragma once

#include <QColor>
#include <QLinearGradient>
#include <QMutex>
#include <QPixmap>
#include <QWidget>

// The views of the About window's credits list and products strip. Texts are drawn with the
// window's text font (DejaVu Sans) at the given pixel sizes.

// A line of the credits: a title drawn at its own size in one colour and letter spacing.
class VLAboutCreditTitleView : public QWidget
{
    Q_OBJECT
public:
    QString title() const { return m_title; }
    void setTitle(const QString &title);
    void prepareForReuse() { setTitle(QString()); }
    bool allowsVibrancy() const { return true; }

protected:
    VLAboutCreditTitleView(QColor color, double kerning, QWidget *parent);
    // Where the title goes, given its size.
    virtual QRectF titleFrame(const QSizeF &size) const = 0;
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_title;
    QColor m_color;
    double m_kerning;
};

// One name of the credits, vertically centred at the left edge.
class VLAboutCollectionViewCreditCell final : public VLAboutCreditTitleView
{
    Q_OBJECT
public:
    explicit VLAboutCollectionViewCreditCell(QWidget *parent = nullptr);
    static QString reuseIdentifier();

protected:
    QRectF titleFrame(const QSizeF &size) const override;
};

// A section's title above its names, at the header's bottom-left corner.
class VLAboutCollectionViewCreditHeader final : public VLAboutCreditTitleView
{
    Q_OBJECT
public:
    explicit VLAboutCollectionViewCreditHeader(QWidget *parent = nullptr);
    static QString reuseIdentifier();

protected:
    QRectF titleFrame(const QSizeF &size) const override;
};

// The end of the credits: a small flag and the country of origin, which links to the maker's
// page about it.
class VLAboutCollectionViewCreditFooter final : public QWidget
{
    Q_OBJECT
public:
    explicit VLAboutCollectionViewCreditFooter(QWidget *parent = nullptr);
    static QString reuseIdentifier();

    // The country-of-origin texts.
    static QString countryOfOriginLabel();
    static inline const QString countryOfOriginAction = QStringLiteral("madein");

    // The flag's stripes, top first.
    QList<QColor> colors() const { return m_colors; }
    // Where the label reacts to the mouse, in the footer's own (top-left) coordinates.
    QRectF labelRect() const;
    void setLabelRect(const QRectF &bottomLeftRect);
    bool allowsVibrancy() const { return false; }

signals:
    // A press on the label.
    void countryOfOriginRequested(VLAboutCollectionViewCreditFooter *sender);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    QList<QColor> m_colors;
    mutable QMutex m_labelRectLock;
    QRectF m_labelRect; // bottom-left, as the label is placed
};

// One further product: its icon, name and a line about it. Clicking it opens its page.
class VLAboutCollectionViewProductCell final : public QWidget
{
    Q_OBJECT
public:
    explicit VLAboutCollectionViewProductCell(QWidget *parent = nullptr);
    static QString reuseIdentifier();

    QPixmap image() const { return m_image; }
    void setImage(const QPixmap &image);
    QString title() const { return m_title; }
    void setTitle(const QString &title);
    QString subtitle() const { return m_subtitle; }
    void setSubtitle(const QString &subtitle);
    void prepareForReuse();
    bool allowsVibrancy() const { return false; }

    // Where the parts are drawn, in the cell's coordinates.
    QRect iconRect() const;
    QRect titleRect() const;
    QRect subtitleRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_image;
    QString m_title;
    QString m_subtitle;
};

// The ground under the products strip, with a shadow fading down from its top edge.
class VLAboutProductBackdropView final : public QWidget
{
    Q_OBJECT
public:
    explicit VLAboutProductBackdropView(QWidget *parent = nullptr);

    QColor backgroundColor() const;
    QLinearGradient gradient() const;
    bool allowsVibrancy() const { return false; }

protected:
    void paintEvent(QPaintEvent *event) override;
};
