#include "companion/VLAboutWindowController.h"

#include "companion/SWAnalyticsTracker.h"
#include "companion/SWLinkBuilder.h"
#include "companion/VLAboutCollectionViewCells.h"
#include "companion/VLApplicationIcon.h"
#include "companion/VLMoreProductsButton.h"
#include "controls/VLLinkButton.h"
#include "controls/VLLinkRoundedButton.h"
#include "controls/VLRoundedButton.h"
#include "platform/animation/VLAnimatableProperty.h"
#include "platform/animation/VLAnimator.h"
#include "platform/animation/VLSpringAnimation.h"
#include "platform/core/BundleInfo.h"
#include "platform/localization/Localization.h"
#include "platform/text/Markdown.h"
#include "platform/view/VLNibName.h"
#include "platform/view/ViewFrame.h"

#include "ui_VLAboutWindowController.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QScrollBar>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

const QString category = QStringLiteral("About");
constexpr double windowWidth = 470.0;
constexpr QSize popoverSize(380, 320);

void registerInterface()
{
    static const bool registered = [] {
        platform::registerInterfaceFile(QString::fromLatin1(VLAboutWindowController::staticMetaObject.className()),
                                        [](QWidget *view, QObject *) {
                                            Ui::VLAboutWindowController form;
                                            form.setupUi(view);
                                        });
        return true;
    }();
    Q_UNUSED(registered)
}

std::optional<QString> readText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return QString::fromUtf8(file.readAll());
}

template <class View>
View *makeView()
{
    return new View;
}

} // namespace

VLAboutWindowController::VLAboutWindowController() : VLAboutWindowController(Configuration{})
{
}

VLAboutWindowController::VLAboutWindowController(Configuration configuration, QObject *parent)
    : QObject(parent)
    , m_configuration(std::move(configuration))
{
    registerInterface();
    m_credits = VLAboutCredits::creditsFromFile(m_configuration.creditsPath);
    m_products = VLAboutProduct::productsFromFile(m_configuration.productsPath);
    // The windows must go while the application object still exists.
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] { m_window.reset(); });
}

VLAboutWindowController::~VLAboutWindowController()
{
    if (m_window)
        VLAnimator::removeAllAnimations(m_window.get());
    delete m_acknowledgementsPopover;
}

QString VLAboutWindowController::windowNibName()
{
    registerInterface();
    return VLNibNameForClass(staticMetaObject);
}

SWAnalyticsTracker &VLAboutWindowController::tracker() const
{
    return m_configuration.tracker ? *m_configuration.tracker : SWAnalyticsTracker::defaultTracker();
}

QWidget *VLAboutWindowController::window()
{
    if (!m_window)
        loadWindow();
    return m_window.get();
}

void VLAboutWindowController::showWindow()
{
    const bool firstShow = !isWindowLoaded();
    QWidget *shown = window();
    if (firstShow)
        vlCenterWindow(shown);
    shown->show();
    shown->raise();
    shown->activateWindow();
}

void VLAboutWindowController::loadWindow()
{
    m_window = std::make_unique<QWidget>(nullptr, Qt::Window);
    m_window->setObjectName(QStringLiteral("aboutWindow"));
    if (const platform::InterfaceFileSetup setup = platform::interfaceFileSetup(windowNibName()))
        setup(m_window.get(), this);
    m_window->setWindowTitle(
        platform::formatWithObjects(platform::localizedString(QT_TRANSLATE_NOOP("Localizable", "About %@")),
                                    {QString::fromLatin1(platform::bundle::name)}));
    // The height changes as the products strip shows and hides; the top edge stays.
    m_window->setFixedWidth(int(windowWidth));
    m_window->setMinimumHeight(int(collapsedHeight));
    m_window->setMaximumHeight(int(expandedHeight));
    m_window->resize(int(windowWidth), int(collapsedHeight));
    QPalette palette = m_window->palette();
    palette.setColor(QPalette::Window, QColor(0x1e, 0x1e, 0x22));
    m_window->setPalette(palette);
    m_window->setAutoFillBackground(true);

    m_versionLabel = m_window->findChild<QLabel *>(QStringLiteral("versionLabel"));
    m_acknowledgementsButton = m_window->findChild<VLRoundedButton *>(QStringLiteral("acknowledgementsButton"));
    m_visitSiteButton = m_window->findChild<VLRoundedButton *>(QStringLiteral("visitSiteButton"));
    m_nimbrelLogoButton = m_window->findChild<QPushButton *>(QStringLiteral("nimbrelLogoButton"));
    m_moreButton = m_window->findChild<VLMoreProductsButton *>(QStringLiteral("moreButton"));
    m_creditsCollectionView = m_window->findChild<VLAboutCollectionView *>(QStringLiteral("creditsCollectionView"));
    m_productsCollectionView = m_window->findChild<VLAboutCollectionView *>(QStringLiteral("productsCollectionView"));
    if (auto *icon = m_window->findChild<QLabel *>(QStringLiteral("iconView")))
        icon->setPixmap(VLApplicationIcon::pixmap(icon->size(), m_window->devicePixelRatioF()));
    if (auto *title = m_window->findChild<QLabel *>(QStringLiteral("titleField")))
        title->setText(QString::fromLatin1(platform::bundle::name));

    if (m_acknowledgementsButton)
        connect(m_acknowledgementsButton, &VLControl::actionSent, this,
                [this] { showAcknowledgements(m_acknowledgementsButton); });
    if (m_visitSiteButton)
        connect(m_visitSiteButton, &VLControl::actionSent, this, &VLAboutWindowController::visitSite);
    if (m_nimbrelLogoButton)
        connect(m_nimbrelLogoButton, &QPushButton::clicked, this, &VLAboutWindowController::visitNimbrelSite);
    if (m_moreButton)
        connect(m_moreButton, &VLControl::actionSent, this, [this] { toggleOtherProducts(m_moreButton); });

    // The acknowledgements popover: a dark panel above the button that shows it.
    auto *popover = new QWidget(m_window.get(), Qt::Popup);
    popover->setObjectName(QStringLiteral("acknowledgementsPopover"));
    popover->setFixedSize(popoverSize);
    QPalette hudGround = popover->palette();
    hudGround.setColor(QPalette::Window, QColor(0x26, 0x26, 0x2a));
    popover->setPalette(hudGround);
    popover->setAutoFillBackground(true);
    m_popoverView = new QWidget(popover);
    m_popoverView->setObjectName(QStringLiteral("popoverView"));
    auto *popoverLayout = new QVBoxLayout(popover);
    popoverLayout->setContentsMargins(0, 0, 0, 0);
    popoverLayout->addWidget(m_popoverView);
    m_webView = new QTextBrowser(m_popoverView);
    m_webView->setObjectName(QStringLiteral("webView"));
    m_webView->setOpenExternalLinks(true);
    m_webView->setFrameShape(QFrame::NoFrame);
    QPalette hud = m_webView->palette();
    hud.setColor(QPalette::Base, QColor(0x26, 0x26, 0x2a));
    hud.setColor(QPalette::Text, Qt::white);
    m_webView->setPalette(hud);
    m_webView->verticalScrollBar()->setStyleSheet(QStringLiteral(
        "QScrollBar:vertical { background: #26262a; width: 8px; }"
        "QScrollBar::handle:vertical { background: rgba(255, 255, 255, 70); border-radius: 2px; min-height: 24px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0px; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"));
    auto *viewLayout = new QVBoxLayout(m_popoverView);
    viewLayout->setContentsMargins(0, 0, 0, 0);
    viewLayout->addWidget(m_webView);
    m_acknowledgementsPopover = popover;

    windowDidLoad();
}

void VLAboutWindowController::windowDidLoad()
{
    loadAcknowledgements();
    if (m_versionLabel)
        m_versionLabel->setText(
            platform::formatWithObjects(platform::localizedString(QT_TRANSLATE_NOOP("Localizable", "Version %@")),
                                        {QString::fromLatin1(platform::bundle::shortVersion)}));
    if (m_creditsCollectionView) {
        m_creditsCollectionView->setDataSource(this);
        m_creditsCollectionView->setCollectionViewLayout(std::make_unique<VLAboutCollectionViewListLayout>());
        m_creditsCollectionView->registerClassForCellWithReuseIdentifier(
            makeView<VLAboutCollectionViewCreditCell>, VLAboutCollectionViewCreditCell::reuseIdentifier());
        m_creditsCollectionView->registerClassForSupplementaryViewOfKindWithReuseIdentifier(
            makeView<VLAboutCollectionViewCreditHeader>, VLAboutCollectionViewListLayoutHeaderKind,
            VLAboutCollectionViewCreditHeader::reuseIdentifier());
        m_creditsCollectionView->registerClassForSupplementaryViewOfKindWithReuseIdentifier(
            makeView<VLAboutCollectionViewCreditFooter>, VLAboutCollectionViewListLayoutFooterKind,
            VLAboutCollectionViewCreditFooter::reuseIdentifier());
        m_creditsCollectionView->reloadData();
    }
    if (m_productsCollectionView) {
        auto grid = std::make_unique<VLAboutCollectionViewHorizontalGridLayout>();
        grid->setItemPaddingEnabled(false);
        m_productsCollectionView->setDataSource(this);
        m_productsCollectionView->setCollectionViewLayout(std::move(grid));
        m_productsCollectionView->registerClassForCellWithReuseIdentifier(
            makeView<VLAboutCollectionViewProductCell>, VLAboutCollectionViewProductCell::reuseIdentifier());
        m_productsCollectionView->reloadData();
    }
}

void VLAboutWindowController::loadAcknowledgements()
{
    if (!m_webView)
        return;
    const std::optional<QString> markdown = readText(m_configuration.acknowledgementsPath);
    if (!markdown)
        return;
    const std::optional<QString> html = platform::htmlStringWithMarkdown(*markdown);
    if (!html)
        return;
    if (const std::optional<QString> styleSheet = readText(m_configuration.acknowledgementsStyleSheetPath))
        m_webView->document()->setDefaultStyleSheet(*styleSheet);
    m_webView->setHtml(*html);
}

void VLAboutWindowController::trackAndOpen(const QString &action, const QString &label,
                                           const std::optional<QString> &linkAction)
{
    tracker().trackEventWithParameters(SWAnalyticsTracker::eventParameters(category, action, label));
    if (!linkAction)
        return;
    const SWTrackingEnvironment environment = m_configuration.environment ? *m_configuration.environment
                                                                          : SWTrackingEnvironment::current();
    QDesktopServices::openUrl(SWLinkBuilder::standartTdsURLWithAction(*linkAction, environment));
}

void VLAboutWindowController::showAcknowledgements(QWidget *sender)
{
    if (!m_acknowledgementsPopover)
        return;
    // Above the sender, centred on it.
    QRect frame(QPoint(0, 0), m_acknowledgementsPopover->size());
    if (sender) {
        const QRect anchor(sender->mapToGlobal(QPoint(0, 0)), sender->size());
        frame.moveCenter(anchor.center());
        frame.moveBottom(anchor.top() - 6);
    }
    m_acknowledgementsPopover->setGeometry(frame);
    m_acknowledgementsPopover->show();
}

void VLAboutWindowController::visitSite()
{
    trackAndOpen(QStringLiteral("Visit Site"), QStringLiteral("Link"), QStringLiteral("productpage"));
}

void VLAboutWindowController::visitNimbrelSite()
{
    trackAndOpen(QStringLiteral("Visit Site"), QStringLiteral("Logo"), QStringLiteral("nimbrelsite"));
}

void VLAboutWindowController::visitCountryOfOrigin()
{
    trackAndOpen(QStringLiteral("Visit Site"), VLAboutCollectionViewCreditFooter::countryOfOriginLabel(),
                 VLAboutCollectionViewCreditFooter::countryOfOriginAction);
}

void VLAboutWindowController::toggleOtherProducts(VLMoreProductsButton *sender)
{
    const bool on = sender && sender->isOn();
    if (on)
        trackAndOpen(QStringLiteral("More Products"), QStringLiteral("Reveal"), std::nullopt);
    QWidget *shown = window();
    const double height = on ? expandedHeight : collapsedHeight;
    // The top edge stays; the window grows or shrinks at the bottom.
    QRectF target(shown->geometry());
    target.setHeight(height);
    auto spring = VLSpringAnimation::animationWithPropertyNamed(kVLWindowFrame);
    spring->setSpringBounciness(0.0);
    spring->setToValue(target);
    VLAnimator::removeAnimationForKey(shown, moreProductsAnimationKey);
    VLAnimator::addAnimationForKey(shown, spring, moreProductsAnimationKey);
}

int VLAboutWindowController::numberOfSectionsInCollectionView(VLAboutCollectionView *collectionView)
{
    return collectionView == m_creditsCollectionView ? int(m_credits.size()) : 1;
}

int VLAboutWindowController::collectionViewNumberOfItemsInSection(VLAboutCollectionView *collectionView, int section)
{
    if (collectionView == m_creditsCollectionView)
        return section >= 0 && section < m_credits.size() ? int(m_credits.at(section).names().size()) : 0;
    return int(m_products.size());
}

QWidget *VLAboutWindowController::collectionViewCellForItemAtIndexPath(VLAboutCollectionView *collectionView,
                                                                       const VLIndexPath &indexPath)
{
    if (collectionView == m_creditsCollectionView) {
        auto *cell = static_cast<VLAboutCollectionViewCreditCell *>(
            collectionView->dequeueReusableCellWithIdentifier(VLAboutCollectionViewCreditCell::reuseIdentifier()));
        if (cell)
            cell->setTitle(m_credits.value(indexPath.section).names().value(indexPath.item));
        return cell;
    }
    auto *cell = static_cast<VLAboutCollectionViewProductCell *>(
        collectionView->dequeueReusableCellWithIdentifier(VLAboutCollectionViewProductCell::reuseIdentifier()));
    if (cell && indexPath.item >= 0 && indexPath.item < m_products.size()) {
        const VLAboutProduct &product = m_products.at(indexPath.item);
        cell->setImage(product.image());
        cell->setTitle(product.title());
        cell->setSubtitle(product.subtitle());
    }
    return cell;
}

QWidget *VLAboutWindowController::collectionViewViewForSupplementaryViewOfKindInSection(
    VLAboutCollectionView *collectionView, const QString &kind, int section)
{
    if (collectionView != m_creditsCollectionView)
        return nullptr;
    if (kind == VLAboutCollectionViewListLayoutHeaderKind) {
        auto *header = static_cast<VLAboutCollectionViewCreditHeader *>(
            collectionView->dequeueReusableSupplementaryViewOfKindWithReuseIdentifier(
                kind, VLAboutCollectionViewCreditHeader::reuseIdentifier()));
        if (header)
            header->setTitle(m_credits.value(section).title());
        return header;
    }
    if (kind == VLAboutCollectionViewListLayoutFooterKind) {
        auto *footer = static_cast<VLAboutCollectionViewCreditFooter *>(
            collectionView->dequeueReusableSupplementaryViewOfKindWithReuseIdentifier(
                kind, VLAboutCollectionViewCreditFooter::reuseIdentifier()));
        if (footer)
            connect(footer, &VLAboutCollectionViewCreditFooter::countryOfOriginRequested, this,
                    &VLAboutWindowController::visitCountryOfOrigin);
        return footer;
    }
    return nullptr;
}

void VLAboutWindowController::collectionViewDidSelectItemAtIndexPath(VLAboutCollectionView *collectionView,
                                                                     const VLIndexPath &indexPath)
{
    if (collectionView != m_productsCollectionView || indexPath.item < 0 || indexPath.item >= m_products.size())
        return;
    const QString action = m_products.at(indexPath.item).action();
    trackAndOpen(QStringLiteral("More Products"), action, action);
}

QMarginsF VLAboutWindowController::collectionViewLayoutInsetForSectionAtIndex(VLAboutCollectionView *collectionView,
                                                                              VLAboutCollectionViewLayout *layout,
                                                                              int section)
{
    Q_UNUSED(collectionView)
    Q_UNUSED(layout)
    Q_UNUSED(section)
    return QMarginsF(23.0, 0.0, 23.0, 0.0);
}

QSizeF VLAboutWindowController::sizeForItemInCollectionView(VLAboutCollectionView *collectionView)
{
    Q_UNUSED(collectionView)
    return {106.0, 160.0};
}

double VLAboutWindowController::collectionViewHeightForRowAtIndexPath(VLAboutCollectionView *collectionView,
                                                                      const VLIndexPath &indexPath)
{
    Q_UNUSED(collectionView)
    Q_UNUSED(indexPath)
    return 20.0;
}

double VLAboutWindowController::collectionViewHeightForHeaderInSection(VLAboutCollectionView *collectionView,
                                                                       int section)
{
    if (collectionView != m_creditsCollectionView)
        return 0.0;
    return section == 0 ? 45.0 : 38.0;
}

double VLAboutWindowController::collectionViewHeightForFooterInSection(VLAboutCollectionView *collectionView,
                                                                       int section)
{
    if (collectionView != m_creditsCollectionView)
        return 0.0;
    return section == int(m_credits.size()) - 1 ? 45.0 : 0.0;
}
