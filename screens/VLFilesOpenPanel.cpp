#include "screens/VLFilesOpenPanel.h"

#include "windowing/windows/VLSheetRegistry.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

std::optional<QStringList> &nextFileNames()
{
    static std::optional<QStringList> names;
    return names;
}

// Qt's panel chooses files or a folder, not both: in files mode, Open on a selected folder would
// only enter it. Folders are items to encrypt like files, so a selection of existing items is
// taken as it stands.
class Panel final : public QFileDialog
{
public:
    explicit Panel(QWidget *parent) : QFileDialog(parent)
    {
        setOption(QFileDialog::DontUseNativeDialog);
        setOption(QFileDialog::DontResolveSymlinks);
        setFileMode(QFileDialog::ExistingFiles);
        setAcceptMode(QFileDialog::AcceptOpen);
        setLabelText(QFileDialog::Accept, QCoreApplication::translate("VLFilesOpenPanel", "Add"));
        setWindowTitle(QCoreApplication::translate("VLFilesOpenPanel", "Add Files and Folders"));
    }

    void accept() override
    {
        const auto *nameEdit = findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        const QStringList chosen = selectedFiles();
        const bool named = nameEdit && !nameEdit->text().trimmed().isEmpty();
        if (named && !chosen.isEmpty() && std::all_of(chosen.cbegin(), chosen.cend(), [](const QString &path) {
                return QFileInfo::exists(path);
            })) {
            QDialog::accept();
            return;
        }
        QFileDialog::accept();
    }
};

} // namespace

void VLFilesOpenPanel::setNextFileNames(const QStringList &paths)
{
    nextFileNames() = paths;
}

void VLFilesOpenPanel::beginSheetModalForWindow(QWidget *window, CompletionHandler completion)
{
    if (std::optional<QStringList> answer = std::exchange(nextFileNames(), std::nullopt)) {
        QList<QUrl> urls;
        for (const QString &path : std::as_const(*answer))
            urls << QUrl::fromLocalFile(path);
        QTimer::singleShot(0, [completion = std::move(completion), urls] {
            if (completion)
                completion(!urls.isEmpty(), urls);
        });
        return;
    }
    auto *panel = new Panel(window);
    VLSheetRegistry::instance().beginSheet(
        window, panel, [completion = std::move(completion)](QDialog *sheet, int result) {
            QList<QUrl> urls;
            if (result == QDialog::Accepted) {
                for (const QString &path : static_cast<QFileDialog *>(sheet)->selectedFiles())
                    urls << QUrl::fromLocalFile(path);
            }
            if (completion)
                completion(result == QDialog::Accepted && !urls.isEmpty(), urls);
        });
}
