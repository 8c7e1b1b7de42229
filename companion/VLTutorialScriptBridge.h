#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class VLTutorialWindowController;

// What the tutorial page sees as its window object's "controller": the four operations the page
// may call, under the script names of the page's calls (a colon of the operation becomes an
// underscore), and nothing else of the controller.
class VLTutorialScriptBridge final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLTutorialScriptBridge)

public:
    explicit VLTutorialScriptBridge(VLTutorialWindowController *controller);
    ~VLTutorialScriptBridge() override;

    // The page calls these through the web channel; they reach the controller on its thread.
    Q_INVOKABLE void selectPage_(int page);
    Q_INVOKABLE void email_(const QString &email);
    Q_INVOKABLE void launch();
    Q_INVOKABLE void launchAfterSkip();

private:
    QPointer<VLTutorialWindowController> m_controller;
};
