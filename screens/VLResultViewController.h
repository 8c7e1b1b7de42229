#pragma once

#include "controls/VLDragSourceViewDelegate.h"
#include "platform/view/VLKeyBindings.h"
#include "screens/VLTransporter.h"
#include "windowing/navigation/VLTitledViewController.h"
#include "windowing/windows/VLTerminator.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class SWAnalyticsTracker;
class VLDragSourceView;
class VLTerminatorProxy;

// What the two result screens share: a result waiting in its work folder, shown with its name
// and size, that the user saves, drags out or previews. Until it is saved, starting over and
// quitting ask first (Save / Don't Save / Cancel), and the save they offer moves the result
// before the screen goes on, because the work folder is emptied later.
//
// Transfers the screen started are cancelled and waited for before it starts over or lets a
// quit through, and when it goes; none reports to the screen after that.
class VLResultViewController : public VLTitledViewController,
                               public VLTerminator,
                               public VLDragSourceViewDelegate,
                               public VLTransporterDelegate,
                               public platform::VLKeyBindingClient
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLResultViewController)

public:
    // What sets one result screen apart: how its result leaves by a drag, and what it reports.
    struct Traits
    {
        VLDragOperation dragOperation = VLDragOperationNone;
        QString screenView;          // the screen view sent on appearing
        QString savedStartOverLabel; // the label of "Start Over" with the result saved
        QString leftStartOverLabel;  // ... with the result left behind ("Don't Save")
        QString dragOutAction;       // the action of the event that ends every drag
        QString logTag;              // the start of the screen's log lines
    };

    ~VLResultViewController() override;

    // How long starting over or quitting waits for transfers to stop.
    static constexpr std::chrono::milliseconds transferStopBound{10000};

    // Where events go; the flow screens' tracker unless a test gives another.
    void setAnalyticsTracker(SWAnalyticsTracker *tracker) { m_tracker = tracker; }

    // The views, once loaded.
    virtual QLabel *sizeField() const = 0;
    virtual VLDragSourceView *dragSourceView() const = 0;

public slots:
    // Start Over (and Escape).
    void cancelOperation();

public:
    // Space: the preview window of the result, shown or closed.
    virtual void toggleQuickLookAction();
    void toggleQuickLook();

    // VLTerminator: asks before a quit while the result is unsaved.
    bool shouldDelayTerminationForTerminator(VLTerminatorProxy *proxy) override;

    // platform::VLKeyBindingClient: Return is the screen's own, Space previews, Escape starts
    // over.
    void insertText(const QString &text) override;
    void doCommandBySelector(platform::Command command) override;
    virtual void insertNewline() = 0;

    // VLDragSourceViewDelegate: the end of every drag is reported, also of a cancelled one.
    Callbacks answeredDragSourceViewCallbacks() const override;
    void dragSourceViewDidFinishWithURLOperation(VLDragSourceView *view, const std::optional<QUrl> &url,
                                                 VLDragOperation operation) override;

    // VLTransporterDelegate (may arrive on a background thread)
    void transporterDidFinishTransportationWithURL(VLTransporter *transporter, const QUrl &url) override;
    void transporterDidFailedTransportationWithURL(VLTransporter *transporter, const QUrl &url) override;

protected:
    VLResultViewController(const QUrl &resultURL, Traits traits, QObject *parent);

    // Where the result is now.
    QUrl resultURL() const { return m_resultURL; }
    void setResultURL(const QUrl &url) { m_resultURL = url; }
    QString resultFileName() const;

    SWAnalyticsTracker &tracker() const;
    QWidget *window();

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

    // The arrival: the sound, then `target`'s `property` slides to `resting`, and later the
    // icon, resting at `iconResting` by then, wiggles now and then to invite a drag.
    static void playArrival(QObject *target, const QString &property, const QVariant &resting, QWidget *icon,
                            const QRectF &iconResting);

    // A save panel proposing the name and extension; `chosen` gets the place on OK. A cancelled
    // panel abandons the save the tag stands for.
    void askWhereToSave(const QString &name, const QString &extension, quint64 tag,
                        std::function<void(const QUrl &)> chosen);
    // A transporter that reports to this screen and is stopped with its others.
    std::shared_ptr<VLTransporter> makeTransporter(quint64 tag);
    // One that someone else made for this screen (a sharing service's).
    void keepTransfer(const std::shared_ptr<VLTransporter> &transporter);
    // Cancels every transfer of the screen and waits (bounded) until they have stopped.
    void stopTransfers();

    virtual bool isResultSaved() const = 0;
    // The extension the save before leaving proposes.
    virtual QString resultExtension() const = 0;
    // Starts the move of the save before leaving.
    virtual void moveResult(VLTransporter &transporter, const QUrl &destination) = 0;
    // A transfer of this screen has put the result (or a copy) at url; the tag says which save.
    virtual void transferSaved(quint64 tag, const QUrl &url) = 0;
    // A transfer failed; the transporter has shown why.
    virtual void transferFailed(quint64 tag) { Q_UNUSED(tag) }
    // A drag that the destination took; url is the folder it landed in, when the desktop tells.
    virtual void resultDragged(const std::optional<QUrl> &url) = 0;

private:
    void saveBeforeLeaving(quint64 tag);
    void startOver();
    void quitAgain();
    // A save the tag asked for did not happen (panel cancelled, transfer failed).
    void saveAbandoned(quint64 tag);
    // The quit machine that asked this screen's question (the shared one when none did).
    VLTerminatorProxy *askingProxy() const;

    QUrl m_resultURL;
    const Traits m_traits;
    bool m_transfersStopped = false;
    QPointer<VLTerminatorProxy> m_askingProxy;
    SWAnalyticsTracker *m_tracker = nullptr;
    QList<std::shared_ptr<VLTransporter>> m_transporters;
};
