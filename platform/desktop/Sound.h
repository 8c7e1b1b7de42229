#pragma once

#include <QString>

#include <functional>

// Short interface sounds from the application's resources (NSSound). Silent where the machine
// has no audio output; tests observe plays through a handler.
namespace platform {

// Plays the sound resource ":/sounds/<name>.wav" at a volume from 0 to 1 and returns at once.
void playSoundNamed(const QString &name, double volume);

using SoundHandler = std::function<void(const QString &name, double volume)>;
// Replaces playing with the handler; an empty handler plays again.
void setSoundHandler(SoundHandler handler);

} // namespace platform
