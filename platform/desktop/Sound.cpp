#include "platform/desktop/Sound.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QHash>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

namespace {

platform::SoundHandler &soundHandler()
{
    static platform::SoundHandler handler;
    return handler;
}

} // namespace

namespace platform {

void playSoundNamed(const QString &name, double volume)
{
    if (const SoundHandler &handler = soundHandler()) {
        handler(name, volume);
        return;
    }
    if (QMediaDevices::audioOutputs().isEmpty())
        return;
    // One effect per sound, kept for the run, so a replay does not load the file again.
    static QHash<QString, QSoundEffect *> effects;
    QSoundEffect *&effect = effects[name];
    if (!effect) {
        effect = new QSoundEffect(QCoreApplication::instance());
        effect->setSource(QUrl(QStringLiteral("qrc:/sounds/%1.wav").arg(name)));
    }
    effect->setVolume(float(volume));
    effect->play();
}

void setSoundHandler(SoundHandler handler)
{
    soundHandler() = std::move(handler);
}

} // namespace platform
