#pragma once

#include "companion/SWTrackingEnvironment.h"
#include "companion/VLAboutCollectionView.h"
#include "companion/VLAboutCredits.h"

#include "companion/VLMoreProductsButton.h"
#include "controls/VLRoundedButton.h"

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>

#include <memory>
#include <optional>

class SWAnalyticsTracker;

// The About window: the version, the credits in titled sections with the country of origin at
// their end, the acknowledgements in a popover, links to the product page and the maker's site,
// and a strip of the maker's further products that the window reveals by growing downwards.
// Every link and the reveal send an analytics event; links open in the browser with the
// standard tracking parameters. Main thread only.
class VLAboutWindowController final : public QObject, public VLAboutCollectionViewDataSource
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLAboutWindowController)

public:
    static constexpr double collapsedHeight = 340.0;
    static constexpr double expandedHeight = 500.0;
    static inline const QString moreProductsAnimationKey = QStringLiteral("moreProductsAnimation");

    struct Configuration
    {
        SWAnalyticsTracker *tracker = nullptr;            // the default tracker when null
        std::optional<SWTrackingEnvironment> environment; // the system's when empty
        QString creditsPath = VLAboutCredits::resourcePath;
        QString productsPath = VLAboutProduct::resourcePath;
        QString acknowledgementsPath = QStringLiteral(":/About/Acknowledgements.md");
        QString acknowledgementsStyleSheetPath = QStringLiteral(":/About/Acknowledgements.css");
    };

    VLAboutWindowController();
    explicit VLAboutWindowController(Configuration configuration, QObject *parent = nullptr);
    ~VLAboutWindowController() override;

    // The interface-file name: the class name, or its "-Legacy" variant where one exists.
    static QString windowNibName();

    // The window, loaded on first use.
    QWidget *window();
    bool isWindowLoaded() const { return m_window != nullptr; }
    void showWindow();

    // Actions.
    void showAcknowledgements(QWidget *sender);
    void visitSite();
    void visitNimbrelSite();
    void visitCountryOfOrigin();
    // Sent by the more-products button after it toggled itself.
    void toggleOtherProducts(VLMoreProductsButton *sender);

    const QList<VLAboutCreditsSection> &credits() const { return m_credits; }
    const QList<VLAboutProduct> &products() const { return m_products; }

    QWidget *popoverView() const { return m_popoverView; }
    QTextBrowser *webView() const { return m_webView; }
    QLabel *versionLabel() const { return m_versionLabel; }
    VLRoundedButton *acknowledgementsButton() const { return m_acknowledgementsButton; }
    VLRoundedButton *visitSiteButton() const { return m_visitSiteButton; }
    QPushButton *nimbrelLogoButton() const { return m_nimbrelLogoButton; }
    VLMoreProductsButton *moreButton() const { return m_moreButton; }
    QWidget *acknowledgementsPopover() const { return m_acknowledgementsPopover; }
    VLAboutCollectionView *productsCollectionView() const { return m_productsCollectionView; }
    VLAboutCollectionView *creditsCollectionView() const { return m_creditsCollectionView; }

    // VLAboutCollectionViewDataSource
    int numberOfSectionsInCollectionView(VLAboutCollectionView *collectionView) override;
    int collectionViewNumberOfItemsInSection(VLAboutCollectionView *collectionView, int section) override;
    QWidget *collectionViewCellForItemAtIndexPath(VLAboutCollectionView *collectionView,
                                                  const VLIndexPath &indexPath) override;
    QWidget *collectionViewViewForSupplementaryViewOfKindInSection(VLAboutCollectionView *collectionView,
                                                                   const QString &kind, int section) override;
    void collectionViewDidSelectItemAtIndexPath(VLAboutCollectionView *collectionView,
                                                const VLIndexPath &indexPath) override;
    QMarginsF collectionViewLayoutInsetForSectionAtIndex(VLAboutCollectionView *collectionView,
                                                         VLAboutCollectionViewLayout *layout, int section) override;
    bool answersSizeForItemInCollectionView() const override { return true; }
    QSizeF sizeForItemInCollectionView(VLAboutCollectionView *collectionView) override;
    double collectionViewHeightForRowAtIndexPath(VLAboutCollectionView *collectionView,
                                                 const VLIndexPath &indexPath) override;
    double collectionViewHeightForHeaderInSection(VLAboutCollectionView *collectionView, int section) override;
    double collectionViewHeightForFooterInSection(VLAboutCollectionView *collectionView, int section) override;

private:
    void loadWindow();
    void windowDidLoad();
    void loadAcknowledgements();
    void trackAndOpen(const QString &action, const QString &label, const std::optional<QString> &linkAction);
    SWAnalyticsTracker &tracker() const;

    Configuration m_configuration;
    QList<VLAboutCreditsSection> m_credits;
    QList<VLAboutProduct> m_products;
    std::unique_ptr<QWidget> m_window;
    QPointer<QWidget> m_popoverView;
    QPointer<QTextBrowser> m_webView;
    QPointer<QLabel> m_versionLabel;
    QPointer<VLRoundedButton> m_acknowledgementsButton;
    QPointer<VLRoundedButton> m_visitSiteButton;
    QPointer<QPushButton> m_nimbrelLogoButton;
    QPointer<VLMoreProductsButton> m_moreButton;
    QPointer<QWidget> m_acknowledgementsPopover;
    QPointer<VLAboutCollectionView> m_productsCollectionView;
    QPointer<VLAboutCollectionView> m_creditsCollectionView;
};
