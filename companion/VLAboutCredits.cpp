#include "companion/VLAboutCredits.h"

#include "platform/core/Log.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// The array at the top of a JSON file; an error text when there is none.
QJsonArray readArray(const QString &path, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return {};
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        error = parseError.errorString();
        return {};
    }
    if (!document.isArray()) {
        error = QStringLiteral("the list is not an array");
        return {};
    }
    return document.array();
}

QStringList stringList(const QJsonValue &value)
{
    QStringList strings;
    for (const QJsonValue &item : value.toArray())
        strings << item.toString();
    return strings;
}

} // namespace

VLAboutCreditsSection::VLAboutCreditsSection(QString title, QStringList names)
    : m_title(std::move(title))
    , m_names(std::move(names))
{
}

VLAboutCreditsSection VLAboutCreditsSection::sectionWithTitleNames(const QString &title, const QStringList &names)
{
    return VLAboutCreditsSection(title, names);
}

QList<VLAboutCreditsSection> VLAboutCredits::defaultCredits()
{
    return creditsFromFile(resourcePath);
}

QList<VLAboutCreditsSection> VLAboutCredits::creditsFromFile(const QString &path)
{
    QString error;
    const QJsonArray array = readArray(path, error);
    if (!error.isEmpty()) {
        platform::log(QStringLiteral("Credits deserialization error: %1").arg(error));
        return {};
    }
    QList<VLAboutCreditsSection> sections;
    for (const QJsonValue &value : array) {
        const QJsonObject section = value.toObject();
        sections << VLAboutCreditsSection::sectionWithTitleNames(section.value(QStringLiteral("title")).toString(),
                                                                 stringList(section.value(QStringLiteral("names"))));
    }
    return sections;
}

VLAboutProduct::VLAboutProduct(QPixmap image, QString title, QString subtitle, QString action)
    : m_image(std::move(image))
    , m_title(std::move(title))
    , m_subtitle(std::move(subtitle))
    , m_action(std::move(action))
{
}

VLAboutProduct VLAboutProduct::productWithImageTitleSubtitleAction(const QPixmap &image, const QString &title,
                                                                   const QString &subtitle, const QString &action)
{
    return VLAboutProduct(image, title, subtitle, action);
}

QStringList VLAboutProduct::iconResourcePaths()
{
    return {QStringLiteral(":/About/ProductNotes.svg"), QStringLiteral(":/About/ProductShelf.svg"),
            QStringLiteral(":/About/ProductSync.svg"), QStringLiteral(":/About/ProductLens.svg")};
}

QList<VLAboutProduct> VLAboutProduct::products()
{
    return productsFromFile(resourcePath);
}

QList<VLAboutProduct> VLAboutProduct::productsFromFile(const QString &path)
{
    QList<QPixmap> icons;
    for (const QString &iconPath : iconResourcePaths())
        icons << QPixmap(iconPath);

    QString error;
    const QJsonArray array = readArray(path, error);
    if (!error.isEmpty()) {
        platform::log(QStringLiteral("Other products deserialization error: %1").arg(error));
        return {};
    }
    QList<VLAboutProduct> products;
    for (const QJsonValue &value : array) {
        const QJsonObject product = value.toObject();
        // Read as an unsigned number, so a negative index is out of the table too.
        const auto index = static_cast<quint64>(product.value(QStringLiteral("index")).toInteger(-1));
        const QPixmap image = index < quint64(icons.size()) ? icons.at(qsizetype(index)) : QPixmap();
        products << VLAboutProduct::productWithImageTitleSubtitleAction(
            image, product.value(QStringLiteral("title")).toString(),
            product.value(QStringLiteral("subtitle")).toString(), product.value(QStringLiteral("action")).toString());
    }
    return products;
}
