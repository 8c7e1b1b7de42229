#include "windowing/windows/VLSavePanel.h"

#include "windowing/windows/VLAlertHandler.h"
#include "windowing/windows/VLSheetRegistry.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QQueue>
#include <QTimer>

namespace {

struct PanelState
{
    QQueue<QString> nextFileNames;
    std::optional<QString> lastProposedName;
    // Where the last confirmed save went; a panel opens there, not in whatever folder the
    // program happened to be started from.
    QString lastSavedFolder;
};

PanelState &state()
{
    static PanelState s;
    return s;
}

QUrl withExtension(const QString &path, const QString &allowedFileType)
{
    // An item without an extension (a folder, say) is saved under the name as typed.
    const QString suffix = u'.' + allowedFileType;
    return QUrl::fromLocalFile(allowedFileType.isEmpty() || path.endsWith(suffix) ? path : path + suffix);
}

void rememberSavedFolder(const QUrl &url)
{
    state().lastSavedFolder = QFileInfo(url.toLocalFile()).absolutePath();
}

} // namespace

QString VLSavePanel::initialFolder()
{
    const QString folder = state().lastSavedFolder;
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QDir::homePath();
}

QString VLSavePanel::proposedName(const QString &name, const QString &allowedFileType)
{
    const QString suffix = u'.' + allowedFileType;
    return allowedFileType.isEmpty() || name.endsWith(suffix) ? name : name + suffix;
}

void VLSavePanel::beginSheetModalForWindow(QWidget *window, const QString &nameFieldStringValue,
                                           const QString &allowedFileType, CompletionHandler completion)
{
    PanelState &s = state();
    const QString proposed = proposedName(nameFieldStringValue, allowedFileType);
    s.lastProposedName = proposed;
    if (!s.nextFileNames.isEmpty()) {
        const QString path = s.nextFileNames.dequeue();
        QTimer::singleShot(0, [completion = std::move(completion), path, allowedFileType] {
            if (!completion)
                return;
            if (path.isEmpty()) {
                completion(cancelButton, {});
                return;
            }
            const QUrl url = withExtension(path, allowedFileType);
            rememberSavedFolder(url);
            completion(okButton, url);
        });
        return;
    }

    if (!window)
        window = VLAlertHandler::mainWindow();
    auto *panel = new QFileDialog(window ? window->window() : nullptr);
    panel->setOption(QFileDialog::DontUseNativeDialog);
    panel->setAcceptMode(QFileDialog::AcceptSave);
    panel->setFileMode(QFileDialog::AnyFile);
    panel->setDefaultSuffix(allowedFileType);
    if (!allowedFileType.isEmpty())
        panel->setNameFilter(QStringLiteral("*.") + allowedFileType);
    panel->setDirectory(initialFolder());
    panel->selectFile(proposed);
    VLSheetRegistry::instance().beginSheet(
        window, panel, [completion = std::move(completion), allowedFileType](QDialog *sheet, int result) {
            auto *dialog = static_cast<QFileDialog *>(sheet);
            const QStringList files = dialog->selectedFiles();
            if (!completion)
                return;
            if (result != QDialog::Accepted || files.isEmpty()) {
                completion(cancelButton, {});
                return;
            }
            const QUrl url = withExtension(files.first(), allowedFileType);
            rememberSavedFolder(url);
            completion(okButton, url);
        });
}

void VLSavePanel::setNextFileName(const QString &path)
{
    state().nextFileNames.enqueue(path);
}

std::optional<QString> VLSavePanel::lastProposedName()
{
    return state().lastProposedName;
}

void VLSavePanel::clearLastProposedName()
{
    state().lastProposedName.reset();
}
