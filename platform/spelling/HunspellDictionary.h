#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <string>

class Hunspell;

namespace platform {

// One Hunspell dictionary (an .aff and a .dic file) spoken to in QStrings: words are converted to
// and from the dictionary's own encoding. Not safe to share between threads without a lock.
class HunspellDictionary final
{
public:
    ~HunspellDictionary();
    Q_DISABLE_COPY_MOVE(HunspellDictionary)

    // The dictionary "<folder>/<name>.aff" and ".dic"; nothing when a file is missing or its
    // encoding is one this system cannot convert to.
    static std::unique_ptr<HunspellDictionary> load(const QString &folder, const QString &name);

    QString name() const { return m_name; }
    // True for a word the dictionary knows, and for a word it cannot hold (characters outside its
    // encoding), which it has no opinion on.
    bool spell(const QString &word) const;
    // The dictionary's suggestions, best first.
    QStringList suggest(const QString &word) const;

private:
    class Codec;
    HunspellDictionary(QString name, std::unique_ptr<Hunspell> hunspell, std::unique_ptr<Codec> codec);

    QString m_name;
    std::unique_ptr<Hunspell> m_hunspell;
    std::unique_ptr<Codec> m_codec;
};

} // namespace platform
