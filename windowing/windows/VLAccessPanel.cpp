#include "windowing/windows/VLAccessPanel.h"

#include "engine/access/VLDriveAccessController.h"

#include <QDir>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <QUrl>

namespace {

std::function<void(QFileDialog *)> &nextPanelAnswer()
{
    static std::function<void(QFileDialog *)> answer;
    return answer;
}

} // namespace

VLAccessPanel::VLAccessPanel(std::function<bool(const QUrl &url)> shouldEnableURL, QWidget *parent)
    : QFileDialog(parent)
    , m_shouldEnableURL(std::move(shouldEnableURL))
{
    setOption(QFileDialog::DontUseNativeDialog);
    setOption(QFileDialog::ShowDirsOnly);
    setFileMode(QFileDialog::Directory);
    setAcceptMode(QFileDialog::AcceptOpen);
    setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
}

void VLAccessPanel::accept()
{
    const QStringList chosen = selectedFiles();
    if (chosen.size() != 1 || !m_shouldEnableURL(QUrl::fromLocalFile(QDir::cleanPath(chosen.first()))))
        return; // stays open until an allowed folder is confirmed or the panel is cancelled
    QFileDialog::accept();
}

void VLAccessPanel::install()
{
    VLDriveAccessController::setPanelRunner(&VLAccessPanel::run);
}

std::optional<QString> VLAccessPanel::run(QWidget *window, const QString &directory,
                                          const std::function<bool(const QUrl &url)> &shouldEnableURL)
{
    // The panel belongs to the window; the window may go while the panel waits (the run ends,
    // the screen is torn down), and then the request ends as a cancelled one.
    auto *panel = new VLAccessPanel(shouldEnableURL, window);
    const QPointer<VLAccessPanel> alive(panel);
    if (!directory.isEmpty())
        panel->setDirectory(directory);

    std::optional<QString> chosen;
    QEventLoop loop;
    connect(panel, &QObject::destroyed, &loop, &QEventLoop::quit);
    connect(panel, &QDialog::finished, &loop, [&, panel](int response) {
        if (response == QDialog::Accepted)
            chosen = panel->selectedFiles().value(0);
        loop.quit();
    });
    panel->open();
    if (auto answer = std::exchange(nextPanelAnswer(), {}))
        QTimer::singleShot(0, panel, [alive, answer = std::move(answer)] {
            if (alive)
                answer(alive.data());
        });
    loop.exec();
    delete alive.data();
    return chosen;
}

void VLAccessPanel::setNextPanelAnswer(std::function<void(QFileDialog *panel)> answer)
{
    nextPanelAnswer() = std::move(answer);
}
