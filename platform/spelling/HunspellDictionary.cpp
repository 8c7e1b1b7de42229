#include "platform/spelling/HunspellDictionary.h"

#include <QFile>
#include <QFileInfo>

#include <hunspell.hxx>

#include <iconv.h>

namespace platform {

// Converts between QString and the dictionary's encoding. UTF-8 dictionaries, the common case,
// need no iconv; the others (ISO8859-x, KOI8-R, the Windows code pages) go through it.
class HunspellDictionary::Codec final
{
public:
    ~Codec()
    {
        if (m_toDictionary != invalid)
            iconv_close(m_toDictionary);
        if (m_fromDictionary != invalid)
            iconv_close(m_fromDictionary);
    }
    Q_DISABLE_COPY_MOVE(Codec)

    static std::unique_ptr<Codec> forEncoding(std::string name)
    {
        if (name.empty() || name == "UTF-8" || name == "utf-8")
            return std::unique_ptr<Codec>(new Codec(invalid, invalid));
        // Hunspell's names for the Windows code pages carry a prefix that iconv does not know.
        if (name.starts_with("microsoft-"))
            name.erase(0, std::string("microsoft-").size());
        if (name == "TIS620-2533")
            name = "TIS-620";
        const iconv_t to = iconv_open(name.c_str(), "UTF-8");
        if (to == invalid)
            return nullptr;
        const iconv_t from = iconv_open("UTF-8", name.c_str());
        if (from == invalid) {
            iconv_close(to);
            return nullptr;
        }
        return std::unique_ptr<Codec>(new Codec(to, from));
    }

    std::optional<std::string> encode(const QString &text) const
    {
        const QByteArray utf8 = text.toUtf8();
        if (m_toDictionary == invalid)
            return utf8.toStdString();
        return convert(m_toDictionary, utf8.toStdString());
    }

    std::optional<QString> decode(const std::string &text) const
    {
        if (m_fromDictionary == invalid)
            return QString::fromStdString(text);
        const std::optional<std::string> utf8 = convert(m_fromDictionary, text);
        if (!utf8)
            return std::nullopt;
        return QString::fromStdString(*utf8);
    }

private:
    static inline const iconv_t invalid = reinterpret_cast<iconv_t>(-1);

    Codec(iconv_t to, iconv_t from) : m_toDictionary(to), m_fromDictionary(from) {}

    static std::optional<std::string> convert(iconv_t descriptor, const std::string &input)
    {
        iconv(descriptor, nullptr, nullptr, nullptr, nullptr);
        std::string buffer = input;
        std::string output(input.size() * 4 + 8, '\0');
        char *in = buffer.data();
        size_t inLeft = buffer.size();
        char *out = output.data();
        size_t outLeft = output.size();
        // A character the other side cannot hold fails the whole word rather than being dropped.
        if (iconv(descriptor, &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1))
            return std::nullopt;
        output.resize(output.size() - outLeft);
        return output;
    }

    iconv_t m_toDictionary;
    iconv_t m_fromDictionary;
};

HunspellDictionary::HunspellDictionary(QString name, std::unique_ptr<Hunspell> hunspell, std::unique_ptr<Codec> codec)
    : m_name(std::move(name))
    , m_hunspell(std::move(hunspell))
    , m_codec(std::move(codec))
{
}

HunspellDictionary::~HunspellDictionary() = default;

std::unique_ptr<HunspellDictionary> HunspellDictionary::load(const QString &folder, const QString &name)
{
    const QString base = folder + u'/' + name;
    const QString affix = base + u".aff";
    const QString words = base + u".dic";
    // Hunspell reports missing files on standard error and answers every word as wrong; check first.
    if (!QFileInfo(affix).isReadable() || !QFileInfo(words).isReadable())
        return nullptr;
    auto hunspell = std::make_unique<Hunspell>(QFile::encodeName(affix).constData(),
                                               QFile::encodeName(words).constData());
    std::unique_ptr<Codec> codec = Codec::forEncoding(hunspell->get_dict_encoding());
    if (!codec)
        return nullptr;
    return std::unique_ptr<HunspellDictionary>(new HunspellDictionary(name, std::move(hunspell), std::move(codec)));
}

bool HunspellDictionary::spell(const QString &word) const
{
    const std::optional<std::string> encoded = m_codec->encode(word);
    return !encoded || m_hunspell->spell(*encoded);
}

QStringList HunspellDictionary::suggest(const QString &word) const
{
    const std::optional<std::string> encoded = m_codec->encode(word);
    if (!encoded)
        return {};
    QStringList suggestions;
    for (const std::string &suggestion : m_hunspell->suggest(*encoded)) {
        if (const std::optional<QString> decoded = m_codec->decode(suggestion))
            suggestions << *decoded;
    }
    return suggestions;
}

} // namespace platform
