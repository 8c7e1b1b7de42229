#pragma once

#include "controls/VLDropHoverViewDelegate.h"
#include "platform/view/VLDraggingDestination.h"
#include "platform/view/VLKeyBindings.h"
#include "screens/VLBarSettings.h"
#include "windowing/navigation/VLViewController.h"
#include "windowing/transitions/VLDropAnimationSource.h"
#include "windowing/windows/VLFilesDestination.h"

#include <QPointer>

class QLabel;
class QTimer;
class VLDropBarView;
class VLDropDestinationView;
class VLDropFilesButton;

// The first screen of the main window and the root of its stack: a title, a subtitle and the
// amber drop bar with the Add button. Every way in which files reach the application ends at
// proceedWithFiles: a drop, the Add button's open panel, and what the main window controller
// forwards from the command line, later launches and the desktop entry's action.
class VLDropViewController final : public VLViewController,
                                   public VLFilesDestination,
                                   public VLDropAnimationSource,
                                   public VLDraggingDestination,
                                   public VLDropHoverViewDelegate,
                                   public platform::VLKeyBindingClient
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLDropViewController)

public:
    explicit VLDropViewController(QObject *parent = nullptr);
    ~VLDropViewController() override;

    // Laid out in code: the bar and its button are moved by animations.
    QString nibName() const override { return {}; }

    VLDropFilesButton *dropFilesButton() const;
    VLDropDestinationView *dropDestination() const;
    // The object whose "constant" centres the bar's content (a layout-constraint stand-in).
    QObject *centerAlignmentConstraint() const;
    QWidget *titleView() const override { return m_titleView; }
    QWidget *subtitleView() const override { return m_subtitleView; }

    // Decides between the two flows and pushes the flow's first screen.
    void proceedWithFiles(const QList<QUrl> &urls) override;
    // The Add button: files and folders from the open panel.
    Q_INVOKABLE void addFiles();

    void setBarSettings(const VLBarSettings &settings);
    void setBarExpandedDropped(bool expanded, bool dropped);
    bool dragInProgress() const;
    // The files of a panel waiting for their 0.1 s, or a bar change waiting for a drag's exit.
    bool hasPendingRequests() const;

    // The "Workflow" / "Add Items" label of items added by drag and drop or by the Add button.
    static QString addItemsLabel(const QList<QUrl> &urls, bool dragAndDrop);
    // Exactly one URL whose extension is "vault" in any case.
    static bool isDecryptRequest(const QList<QUrl> &urls);

    static inline const QString frameBounceKey = QStringLiteral("frameBounce");

    // VLDraggingDestination, for the drop targets over the bar and over the rest of the screen.
    VLDraggingDestination::Callbacks answeredDraggingDestinationCallbacks() const override;
    VLDragOperation draggingEntered(const VLDraggingInfo &info) override;
    VLDragOperation draggingUpdated(const VLDraggingInfo &info) override;
    void draggingExited(const VLDraggingInfo *info) override;
    bool performDragOperation(const VLDraggingInfo &info) override;

    // VLDropHoverViewDelegate.
    VLDropHoverViewDelegate::Callbacks answeredHoverViewCallbacks() const override;
    void hoverViewMouseInside(VLDropHoverView *view, bool mouseInside) override;

    // platform::VLKeyBindingClient: Return adds files.
    void insertText(const QString &text) override;
    void doCommandBySelector(platform::Command command) override;
    void insertNewline();

protected:
    void loadView() override;
    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;

private:
    void cancelPreviousPerformRequests();
    void proceedWithContainer(const QUrl &url);

    QPointer<QWidget> m_titleView;
    QPointer<QWidget> m_subtitleView;
    QPointer<VLDropBarView> m_bar;
    QPointer<VLDropDestinationView> m_screenDropDestination;
    QTimer *m_pendingFiles = nullptr;
    QTimer *m_pendingBarReset = nullptr;
    QList<QUrl> m_panelURLs;
};
