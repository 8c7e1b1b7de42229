#include "screens/VLTransportWindowController.h"

#include "controls/VLProgressIndicator.h"
#include "engine/files/NBFileSizer.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/localization/Localization.h"
#include "platform/view/VLNibName.h"
#include "windowing/navigation/VLInterfaceRegistry.h"
#include "windowing/windows/VLSheetRegistry.h"

#include "ui_VLTransportWindowController.h"

#include <QDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QtNumeric>

namespace {

// The sheet itself: Escape and the close button mean Cancel, and only the transporter ends it.
class TransportSheet final : public QDialog
{
public:
    explicit TransportSheet(VLTransportWindowController *controller) : m_controller(controller) {}

    void reject() override
    {
        if (m_controller)
            m_controller->cancel();
    }

private:
    QPointer<VLTransportWindowController> m_controller;
};

void registerInterface()
{
    static const bool registered = [] {
        VLInterfaceRegistry::registerForm<Ui::VLTransportWindowController>(
            QString::fromLatin1(VLTransportWindowController::staticMetaObject.className()));
        return true;
    }();
    Q_UNUSED(registered)
}

QString lastPathComponent(const QString &path)
{
    return QFileInfo(path).fileName();
}

} // namespace

VLTransportWindowController::VLTransportWindowController(QObject *parent) : QObject(parent)
{
    registerInterface();
}

VLTransportWindowController::~VLTransportWindowController()
{
    if (m_chromoneter) {
        m_chromoneter->stop();
        if (m_chromoneter->delegate() == this)
            m_chromoneter->setDelegate(nullptr);
    }
    if (m_window) {
        // A sheet on show goes through its registry, which deletes it and shows the next one.
        QDialog *window = m_window;
        if (VLSheetRegistry::instance().currentSheet(window->parentWidget()) == window)
            window->done(QDialog::Accepted);
        else
            delete window;
    }
}

QString VLTransportWindowController::windowNibName()
{
    registerInterface();
    return VLNibNameForClass(staticMetaObject);
}

QDialog *VLTransportWindowController::window()
{
    if (!m_window)
        loadWindow();
    return m_window;
}

void VLTransportWindowController::loadWindow()
{
    auto *window = new TransportSheet(this);
    window->setObjectName(windowNibName());
    window->setWindowTitle(QString());
    if (const VLInterfaceRegistry::Setup setup = VLInterfaceRegistry::setupForName(windowNibName()))
        setup(window, nullptr);
    m_window = window;
    m_progressIndicator = window->findChild<VLProgressIndicator *>(QStringLiteral("progressIndicator"));
    m_sourceTextField = window->findChild<QLabel *>(QStringLiteral("sourceTextField"));
    m_destinationTextField = window->findChild<QLabel *>(QStringLiteral("destinationTextField"));
    m_statusTextField = window->findChild<QLabel *>(QStringLiteral("statusTextField"));
    m_cancelButton = window->findChild<QPushButton *>(QStringLiteral("cancelButton"));
    if (m_cancelButton)
        connect(m_cancelButton, &QPushButton::clicked, this, &VLTransportWindowController::cancel);
    windowDidLoad();
}

void VLTransportWindowController::windowDidLoad()
{
    if (m_sourceTextField)
        m_sourceTextField->setText(lastPathComponent(m_sourceURL.toLocalFile()));
    if (m_destinationTextField) {
        // The folder the item goes into, not the item's new name.
        const QString destination = m_destinationURL.toLocalFile();
        m_destinationTextField->setText(lastPathComponent(QFileInfo(destination).path()));
    }
    if (m_progressIndicator)
        m_progressIndicator->setMaxValue(double(m_totalSize));
    auto chronometer = std::make_shared<VLChronometer>();
    chronometer->setDelegate(this);
    setChromoneter(chronometer);
    chronometer->start();
}

void VLTransportWindowController::setChromoneter(std::shared_ptr<VLChronometer> chronometer)
{
    if (m_chromoneter && m_chromoneter != chronometer && m_chromoneter->delegate() == this)
        m_chromoneter->setDelegate(nullptr);
    m_chromoneter = std::move(chronometer);
}

void VLTransportWindowController::setMovedSize(quint64 size)
{
    m_movedSize = size;
    // Whole percentages; an empty item has none to give.
    if (m_totalSize > 0 && m_chromoneter) {
        quint64 scaled = 0;
        const quint64 percent = !qMulOverflow(size, quint64(100), &scaled)
                                    ? scaled / m_totalSize
                                    : quint64(static_cast<long double>(size) * 100
                                              / static_cast<long double>(m_totalSize));
        m_chromoneter->updateProgress(double(percent));
    }
    redrawSateTextFiled();
}

void VLTransportWindowController::chronometerDidUpdateRemainingTime(VLChronometer *chronometer, double seconds)
{
    Q_UNUSED(seconds)
    if (chronometer == m_chromoneter.get())
        redrawSateTextFiled();
}

void VLTransportWindowController::redrawSateTextFiled()
{
    platform::dispatchToMain(this, [this] { refreshNow(); });
}

void VLTransportWindowController::refreshNow()
{
    if (m_progressIndicator)
        m_progressIndicator->setDoubleValue(double(m_movedSize));
    if (m_statusTextField)
        m_statusTextField->setText(
            statusText(m_movedSize, m_totalSize, m_chromoneter ? m_chromoneter->remainingTimeString() : QString()));
}

QString VLTransportWindowController::statusText(quint64 movedSize, quint64 totalSize, const QString &remainingTime)
{
    const QString remaining = remainingTime.isEmpty()
                                  ? platform::localizedString(QT_TRANSLATE_NOOP("Localizable", "Estimating..."))
                                  : remainingTime;
    return platform::formatWithObjects(
        platform::localizedString(QT_TRANSLATE_NOOP("Localizable", "%@ from %@ \u2013 %@...")),
        {NBFileSizer::displayItemSizeFromSize(movedSize), NBFileSizer::displayItemSizeFromSize(totalSize), remaining});
}

void VLTransportWindowController::cancel()
{
    m_cancelled = true;
    if (m_chromoneter)
        m_chromoneter->stop();
}

void VLTransportWindowController::close()
{
    if (m_window)
        m_window->hide();
    if (m_chromoneter)
        m_chromoneter->stop();
}
