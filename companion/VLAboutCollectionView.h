#pragma once

#include <QHash>
#include <QList>
#include <QMarginsF>
#include <QPointer>
#include <QRectF>
#include <QScrollArea>
#include <QSizeF>

#include <functional>
#include <memory>

class VLAboutCollectionView;
class VLAboutCollectionViewLayout;

// An item's place: its section and its index inside the section.
struct VLIndexPath
{
    int section = 0;
    int item = 0;
    friend bool operator==(const VLIndexPath &, const VLIndexPath &) = default;
};

// The kinds of supplementary views of the list layout.
inline const QString VLAboutCollectionViewListLayoutHeaderKind = QStringLiteral("JNWCollectionViewListLayoutHeader");
inline const QString VLAboutCollectionViewListLayoutFooterKind = QStringLiteral("JNWCollectionViewListLayoutFooter");

// What a collection view asks of its owner: contents, sizes and selection. The layouts ask for
// what they need; the defaults answer "nothing".
class VLAboutCollectionViewDataSource
{
public:
    virtual ~VLAboutCollectionViewDataSource() = default;

    virtual int numberOfSectionsInCollectionView(VLAboutCollectionView *collectionView) = 0;
    virtual int collectionViewNumberOfItemsInSection(VLAboutCollectionView *collectionView, int section) = 0;
    virtual QWidget *collectionViewCellForItemAtIndexPath(VLAboutCollectionView *collectionView,
                                                          const VLIndexPath &indexPath) = 0;
    virtual QWidget *collectionViewViewForSupplementaryViewOfKindInSection(VLAboutCollectionView *collectionView,
                                                                           const QString &kind, int section);
    virtual void collectionViewDidSelectItemAtIndexPath(VLAboutCollectionView *collectionView,
                                                        const VLIndexPath &indexPath);

    // The list layout.
    virtual double collectionViewHeightForRowAtIndexPath(VLAboutCollectionView *collectionView,
                                                         const VLIndexPath &indexPath);
    virtual double collectionViewHeightForHeaderInSection(VLAboutCollectionView *collectionView, int section);
    virtual double collectionViewHeightForFooterInSection(VLAboutCollectionView *collectionView, int section);

    // The grid layout. Without a size of its own, the layout uses its item size.
    virtual bool answersSizeForItemInCollectionView() const { return false; }
    virtual QSizeF sizeForItemInCollectionView(VLAboutCollectionView *collectionView);
    virtual QMarginsF collectionViewLayoutInsetForSectionAtIndex(VLAboutCollectionView *collectionView,
                                                                 VLAboutCollectionViewLayout *layout, int section);

protected:
    VLAboutCollectionViewDataSource() = default;
    VLAboutCollectionViewDataSource(const VLAboutCollectionViewDataSource &) = default;
    VLAboutCollectionViewDataSource &operator=(const VLAboutCollectionViewDataSource &) = default;
};

// Where a layout puts one view: a cell (empty kind) or a supplementary view of a kind.
struct VLAboutCollectionViewLayoutItem
{
    QString kind;
    VLIndexPath indexPath;
    QRectF frame;
};

// Places the items of a collection view in its document.
class VLAboutCollectionViewLayout
{
public:
    virtual ~VLAboutCollectionViewLayout() = default;
    virtual Qt::Orientation scrollDirection() const = 0;
    // Every view's frame, and the document's size.
    virtual QList<VLAboutCollectionViewLayoutItem> layoutItems(VLAboutCollectionView *collectionView,
                                                               QSizeF &documentSize) = 0;

protected:
    VLAboutCollectionViewLayout() = default;
};

// Sections one below the other: a header, rows of the row height, a footer; each as wide as the
// view.
class VLAboutCollectionViewListLayout final : public VLAboutCollectionViewLayout
{
public:
    Qt::Orientation scrollDirection() const override { return Qt::Vertical; }
    QList<VLAboutCollectionViewLayoutItem> layoutItems(VLAboutCollectionView *collectionView,
                                                       QSizeF &documentSize) override;
};

// Items of one size in columns that run from left to right, as many rows as the view's height
// holds; each section starts a new column within its insets.
class VLAboutCollectionViewHorizontalGridLayout final : public VLAboutCollectionViewLayout
{
public:
    Qt::Orientation scrollDirection() const override { return Qt::Horizontal; }
    QList<VLAboutCollectionViewLayoutItem> layoutItems(VLAboutCollectionView *collectionView,
                                                       QSizeF &documentSize) override;

    QSizeF itemSize() const { return m_itemSize; }
    void setItemSize(const QSizeF &size) { m_itemSize = size; }
    // Without padding, items touch; with it, the spare space of a row is spread between them.
    bool itemPaddingEnabled() const { return m_itemPaddingEnabled; }
    void setItemPaddingEnabled(bool enabled) { m_itemPaddingEnabled = enabled; }

private:
    QSizeF itemSizeFor(VLAboutCollectionView *collectionView) const;

    QSizeF m_itemSize{100.0, 100.0};
    bool m_itemPaddingEnabled = true;
};

// A scrolling view of cells in sections, placed by its layout and made by its data source.
// Clicking a cell selects it and tells the data source. Reloading makes every view anew.
class VLAboutCollectionView final : public QScrollArea
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLAboutCollectionView)

public:
    explicit VLAboutCollectionView(QWidget *parent = nullptr);
    ~VLAboutCollectionView() override;

    VLAboutCollectionViewDataSource *dataSource() const { return m_dataSource; }
    void setDataSource(VLAboutCollectionViewDataSource *dataSource) { m_dataSource = dataSource; }
    VLAboutCollectionViewLayout *collectionViewLayout() const { return m_layout.get(); }
    void setCollectionViewLayout(std::unique_ptr<VLAboutCollectionViewLayout> layout);

    // Makes a fresh view for a reuse identifier registered before.
    using ViewFactory = std::function<QWidget *()>;
    void registerClassForCellWithReuseIdentifier(ViewFactory factory, const QString &identifier);
    void registerClassForSupplementaryViewOfKindWithReuseIdentifier(ViewFactory factory, const QString &kind,
                                                                    const QString &identifier);
    QWidget *dequeueReusableCellWithIdentifier(const QString &identifier);
    QWidget *dequeueReusableSupplementaryViewOfKindWithReuseIdentifier(const QString &kind, const QString &identifier);

    void reloadData();

    // The size of the visible part of the document.
    QSizeF visibleSize() const;
    void updateScrollDirection();

    // The views on show, with their places.
    QWidget *cellForItemAtIndexPath(const VLIndexPath &indexPath) const;
    QList<QWidget *> visibleCells() const;
    QWidget *supplementaryViewForKindInSection(const QString &kind, int section) const;
    std::optional<VLIndexPath> indexPathForCell(const QWidget *cell) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void placeViews();

    VLAboutCollectionViewDataSource *m_dataSource = nullptr;
    std::unique_ptr<VLAboutCollectionViewLayout> m_layout;
    QHash<QString, ViewFactory> m_cellFactories;
    QHash<QString, ViewFactory> m_supplementaryFactories; // by kind + "/" + identifier
    QWidget *m_document = nullptr;
    struct Placed
    {
        VLAboutCollectionViewLayoutItem item;
        QPointer<QWidget> view;
    };
    QList<Placed> m_placed;
    QPointer<QWidget> m_pressedCell;
    QSize m_laidOutFor;
};
