#pragma once

#include <QFileDialog>

#include <functional>
#include <optional>

class QUrl;

// The open panel the folder-access grants ask through (engine/access): folders only, and only a
// folder the grant allows can be confirmed. The engine knows no widgets, so this layer installs it.
class VLAccessPanel final : public QFileDialog
{
public:
    VLAccessPanel(std::function<bool(const QUrl &url)> shouldEnableURL, QWidget *parent);

    void accept() override;

    // Makes this the panel of VLDriveAccessController's requests.
    static void install();
    // One request: the panel, window-modal on the window, until it ends. The chosen folder's
    // path; nothing when it was cancelled or went with its window.
    static std::optional<QString> run(QWidget *window, const QString &directory,
                                      const std::function<bool(const QUrl &url)> &shouldEnableURL);

    // Tests: called with the next panel once it is open; it answers by accepting or rejecting it.
    static void setNextPanelAnswer(std::function<void(QFileDialog *panel)> answer);

private:
    std::function<bool(const QUrl &url)> m_shouldEnableURL;
};
