#include "companion/VLAboutCollectionView.h"

#include <QMouseEvent>
#include <QScrollBar>

#include <cmath>

QWidget *VLAboutCollectionViewDataSource::collectionViewViewForSupplementaryViewOfKindInSection(
    VLAboutCollectionView *collectionView, const QString &kind, int section)
{
    Q_UNUSED(collectionView)
    Q_UNUSED(kind)
    Q_UNUSED(section)
    return nullptr;
}

void VLAboutCollectionViewDataSource::collectionViewDidSelectItemAtIndexPath(VLAboutCollectionView *collectionView,
                                                                             const VLIndexPath &indexPath)
{
    Q_UNUSED(collectionView)
    Q_UNUSED(indexPath)
}

double VLAboutCollectionViewDataSource::collectionViewHeightForRowAtIndexPath(VLAboutCollectionView *collectionView,
                                                                              const VLIndexPath &indexPath)
{
    Q_UNUSED(collectionView)
    Q_UNUSED(indexPath)
    return 0.0;
}

double VLAboutCollectionViewDataSource::collectionViewHeightForHeaderInSection(VLAboutCollectionView *collectionView,
                                                                               int section)
{
    Q_UNUSED(collectionView)
    Q_UNUSED(section)
    return 0.0;
}

double VLAboutCollectionViewDataSource::collectionViewHeightForFooterInSection(VLAboutCollectionView *collectionView,
                                                                               int section)
{
    Q_UNUSED(collectionView)
    Q_UNUSED(section)
    return 0.0;
}

QSizeF VLAboutCollectionViewDataSource::sizeForItemInCollectionView(VLAboutCollectionView *collectionView)
{
    Q_UNUSED(collectionView)
    return {};
}

QMarginsF VLAboutCollectionViewDataSource::collectionViewLayoutInsetForSectionAtIndex(
    VLAboutCollectionView *collectionView, VLAboutCollectionViewLayout *layout, int section)
{
    Q_UNUSED(collectionView)
    Q_UNUSED(layout)
    Q_UNUSED(section)
    return {};
}

QList<VLAboutCollectionViewLayoutItem> VLAboutCollectionViewListLayout::layoutItems(
    VLAboutCollectionView *collectionView, QSizeF &documentSize)
{
    QList<VLAboutCollectionViewLayoutItem> items;
    VLAboutCollectionViewDataSource *source = collectionView->dataSource();
    const double width = collectionView->visibleSize().width();
    double y = 0.0;
    const int sections = source ? source->numberOfSectionsInCollectionView(collectionView) : 0;
    for (int section = 0; section < sections; ++section) {
        const double header = source->collectionViewHeightForHeaderInSection(collectionView, section);
        if (header > 0.0)
            items << VLAboutCollectionViewLayoutItem{
                VLAboutCollectionViewListLayoutHeaderKind, {section, 0}, QRectF(0.0, y, width, header)};
        y += header;
        const int rows = source->collectionViewNumberOfItemsInSection(collectionView, section);
        for (int row = 0; row < rows; ++row) {
            const double height = source->collectionViewHeightForRowAtIndexPath(collectionView, {section, row});
            items << VLAboutCollectionViewLayoutItem{QString(), {section, row}, QRectF(0.0, y, width, height)};
            y += height;
        }
        const double footer = source->collectionViewHeightForFooterInSection(collectionView, section);
        if (footer > 0.0)
            items << VLAboutCollectionViewLayoutItem{
                VLAboutCollectionViewListLayoutFooterKind, {section, 0}, QRectF(0.0, y, width, footer)};
        y += footer;
    }
    documentSize = QSizeF(width, y);
    return items;
}

QSizeF VLAboutCollectionViewHorizontalGridLayout::itemSizeFor(VLAboutCollectionView *collectionView) const
{
    VLAboutCollectionViewDataSource *source = collectionView->dataSource();
    if (source && source->answersSizeForItemInCollectionView())
        return source->sizeForItemInCollectionView(collectionView);
    return m_itemSize;
}

QList<VLAboutCollectionViewLayoutItem> VLAboutCollectionViewHorizontalGridLayout::layoutItems(
    VLAboutCollectionView *collectionView, QSizeF &documentSize)
{
    QList<VLAboutCollectionViewLayoutItem> items;
    VLAboutCollectionViewDataSource *source = collectionView->dataSource();
    const QSizeF size = itemSizeFor(collectionView);
    const double height = collectionView->visibleSize().height();
    double x = 0.0;
    const int sections = source ? source->numberOfSectionsInCollectionView(collectionView) : 0;
    for (int section = 0; section < sections && size.width() > 0.0 && size.height() > 0.0; ++section) {
        const QMarginsF insets = source->collectionViewLayoutInsetForSectionAtIndex(collectionView, this, section);
        const double rowSpace = std::max(0.0, height - insets.top() - insets.bottom());
        const int rows = std::max(1, int(std::floor(rowSpace / size.height())));
        const double rowGap = m_itemPaddingEnabled && rows > 1 ? (rowSpace - rows * size.height()) / (rows - 1) : 0.0;
        const int count = source->collectionViewNumberOfItemsInSection(collectionView, section);
        x += insets.left();
        const int columns = (count + rows - 1) / rows;
        for (int index = 0; index < count; ++index) {
            const int column = index / rows;
            const int row = index % rows;
            items << VLAboutCollectionViewLayoutItem{QString(),
                                                     {section, index},
                                                     QRectF(x + column * size.width(),
                                                            insets.top() + row * (size.height() + rowGap), size.width(),
                                                            size.height())};
        }
        x += columns * size.width() + insets.right();
    }
    documentSize = QSizeF(x, height);
    return items;
}

VLAboutCollectionView::VLAboutCollectionView(QWidget *parent) : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(false);
    m_document = new QWidget;
    m_document->setObjectName(QStringLiteral("documentView"));
    m_document->setAutoFillBackground(false);
    setWidget(m_document);
    // The window's ground shows through: no fill under the cells.
    setAutoFillBackground(false);
    m_document->setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

VLAboutCollectionView::~VLAboutCollectionView() = default;

void VLAboutCollectionView::setCollectionViewLayout(std::unique_ptr<VLAboutCollectionViewLayout> layout)
{
    m_layout = std::move(layout);
    updateScrollDirection();
}

void VLAboutCollectionView::updateScrollDirection()
{
    const bool horizontal = m_layout && m_layout->scrollDirection() == Qt::Horizontal;
    setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
}

QSizeF VLAboutCollectionView::visibleSize() const
{
    return QSizeF(viewport()->size());
}

void VLAboutCollectionView::registerClassForCellWithReuseIdentifier(ViewFactory factory, const QString &identifier)
{
    m_cellFactories.insert(identifier, std::move(factory));
}

void VLAboutCollectionView::registerClassForSupplementaryViewOfKindWithReuseIdentifier(ViewFactory factory,
                                                                                       const QString &kind,
                                                                                       const QString &identifier)
{
    m_supplementaryFactories.insert(kind + u'/' + identifier, std::move(factory));
}

QWidget *VLAboutCollectionView::dequeueReusableCellWithIdentifier(const QString &identifier)
{
    const ViewFactory factory = m_cellFactories.value(identifier);
    return factory ? factory() : nullptr;
}

QWidget *VLAboutCollectionView::dequeueReusableSupplementaryViewOfKindWithReuseIdentifier(const QString &kind,
                                                                                          const QString &identifier)
{
    const ViewFactory factory = m_supplementaryFactories.value(kind + u'/' + identifier);
    return factory ? factory() : nullptr;
}

void VLAboutCollectionView::reloadData()
{
    for (const Placed &placed : std::as_const(m_placed))
        delete placed.view;
    m_placed.clear();
    if (!m_layout || !m_dataSource) {
        m_document->resize(0, 0);
        return;
    }
    QSizeF documentSize;
    for (const VLAboutCollectionViewLayoutItem &item : m_layout->layoutItems(this, documentSize)) {
        QWidget *view = item.kind.isEmpty() ? m_dataSource->collectionViewCellForItemAtIndexPath(this, item.indexPath)
                                            : m_dataSource->collectionViewViewForSupplementaryViewOfKindInSection(
                                                this, item.kind, item.indexPath.section);
        if (!view)
            continue;
        view->setParent(m_document);
        if (item.kind.isEmpty())
            view->installEventFilter(this);
        view->show();
        m_placed << Placed{item, view};
    }
    m_document->resize(documentSize.toSize());
    m_laidOutFor = viewport()->size();
    placeViews();
}

void VLAboutCollectionView::placeViews()
{
    for (const Placed &placed : std::as_const(m_placed)) {
        if (placed.view)
            placed.view->setGeometry(placed.item.frame.toAlignedRect());
    }
}

void VLAboutCollectionView::resizeEvent(QResizeEvent *event)
{
    QScrollArea::resizeEvent(event);
    // The list's rows follow the view's width, the grid's rows its height.
    if (!m_placed.isEmpty() && viewport()->size() != m_laidOutFor)
        reloadData();
}

QWidget *VLAboutCollectionView::cellForItemAtIndexPath(const VLIndexPath &indexPath) const
{
    for (const Placed &placed : m_placed) {
        if (placed.item.kind.isEmpty() && placed.item.indexPath == indexPath)
            return placed.view;
    }
    return nullptr;
}

QList<QWidget *> VLAboutCollectionView::visibleCells() const
{
    QList<QWidget *> cells;
    for (const Placed &placed : m_placed) {
        if (placed.item.kind.isEmpty() && placed.view)
            cells << placed.view;
    }
    return cells;
}

QWidget *VLAboutCollectionView::supplementaryViewForKindInSection(const QString &kind, int section) const
{
    for (const Placed &placed : m_placed) {
        if (placed.item.kind == kind && placed.item.indexPath.section == section)
            return placed.view;
    }
    return nullptr;
}

std::optional<VLIndexPath> VLAboutCollectionView::indexPathForCell(const QWidget *cell) const
{
    for (const Placed &placed : m_placed) {
        if (placed.item.kind.isEmpty() && placed.view == cell)
            return placed.item.indexPath;
    }
    return std::nullopt;
}

bool VLAboutCollectionView::eventFilter(QObject *watched, QEvent *event)
{
    auto *cell = qobject_cast<QWidget *>(watched);
    if (!cell)
        return false;
    // A click selects the cell it started and ended on.
    if (event->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        m_pressedCell = cell;
        return true;
    }
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        const bool inside = cell->rect().contains(static_cast<QMouseEvent *>(event)->position().toPoint());
        const bool selected = m_pressedCell == cell && inside;
        m_pressedCell = nullptr;
        if (selected && m_dataSource) {
            if (const std::optional<VLIndexPath> indexPath = indexPathForCell(cell))
                m_dataSource->collectionViewDidSelectItemAtIndexPath(this, *indexPath);
        }
        return true;
    }
    return false;
}
