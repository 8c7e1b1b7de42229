#include "app/shell/VLSavePanel.h"

#include "app/shell/VLAlertHandler.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <optional>

namespace {

std::optional<QString> &nextFileName()
{
    static std::optional<QString> name;
    return name;
}

VLSavePanel::Options &lastPanelOptions()
{
    static VLSavePanel::Options options;
    return options;
}

QUrl withExtension(const QString &path, const QString &extension)
{
    if (path.isEmpty())
        return {};
    if (extension.isEmpty() || QFileInfo(path).suffix().compare(extension, Qt::CaseInsensitive) == 0)
        return QUrl::fromLocalFile(path);
    return QUrl::fromLocalFile(path + u'.' + extension);
}

} // namespace

void VLSavePanel::beginSheetModalForWindow(QWidget *window, const Options &options, Completion completion)
{
    lastPanelOptions() = options;
    if (nextFileName()) {
        const QUrl answer = withExtension(*std::exchange(nextFileName(), std::nullopt), options.allowedExtension);
        QTimer::singleShot(0, QCoreApplication::instance(), [completion, answer] {
            if (completion)
                completion(answer);
        });
        return;
    }
    QWidget *host = window ? window : VLAlertHandler::mainWindow();
    auto *panel = new QFileDialog(host);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setOption(QFileDialog::DontUseNativeDialog);
    panel->setAcceptMode(QFileDialog::AcceptSave);
    panel->setFileMode(QFileDialog::AnyFile);
    panel->setWindowModality(host ? Qt::WindowModal : Qt::ApplicationModal);
    if (!options.canCreateDirectories)
        panel->setOption(QFileDialog::ReadOnly);
    if (!options.allowedExtension.isEmpty()) {
        panel->setNameFilter(QStringLiteral("*.") + options.allowedExtension);
        panel->setDefaultSuffix(options.allowedExtension);
    }
    panel->selectFile(options.nameFieldStringValue);
    QObject::connect(panel, &QFileDialog::finished, panel, [panel, completion, options](int result) {
        const QStringList files = panel->selectedFiles();
        const QUrl url = result == QDialog::Accepted && !files.isEmpty()
                             ? withExtension(files.first(), options.allowedExtension)
                             : QUrl();
        if (completion)
            completion(url);
    });
    panel->open();
}

void VLSavePanel::setNextFileName(const QString &path)
{
    nextFileName() = path;
}

VLSavePanel::Options VLSavePanel::lastOptions()
{
    return lastPanelOptions();
}
