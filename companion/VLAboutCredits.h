#pragma once

#include <QList>
#include <QPixmap>
#include <QString>
#include <QStringList>

// One titled group of names in the About window's credits.
class VLAboutCreditsSection final
{
public:
    VLAboutCreditsSection() = default;
    VLAboutCreditsSection(QString title, QStringList names);
    static VLAboutCreditsSection sectionWithTitleNames(const QString &title, const QStringList &names);

    QString title() const { return m_title; }
    QStringList names() const { return m_names; }

private:
    QString m_title;
    QStringList m_names;
};

// The credits list of the application's resources ("Credits.json": an array of
// {"title": string, "names": [string]}).
class VLAboutCredits final
{
public:
    VLAboutCredits() = delete;

    static inline const QString resourcePath = QStringLiteral(":/About/Credits.json");

    // Empty, with one log line, when the file is missing or is not such an array.
    static QList<VLAboutCreditsSection> defaultCredits();
    static QList<VLAboutCreditsSection> creditsFromFile(const QString &path);
};

// One of the maker's further products in the About window's strip.
class VLAboutProduct final
{
public:
    VLAboutProduct() = default;
    VLAboutProduct(QPixmap image, QString title, QString subtitle, QString action);
    static VLAboutProduct productWithImageTitleSubtitleAction(const QPixmap &image, const QString &title,
                                                              const QString &subtitle, const QString &action);

    QPixmap image() const { return m_image; }
    QString title() const { return m_title; }
    QString subtitle() const { return m_subtitle; }
    // The link action word of the product's page.
    QString action() const { return m_action; }

    static inline const QString resourcePath = QStringLiteral(":/About/OtherProducts.json");
    // The product icons, in the order the list's "index" values name them.
    static QStringList iconResourcePaths();

    // The products of "OtherProducts.json" (an array of {"title", "subtitle", "action",
    // "index"}); an index outside the icon table gives no icon. Empty, with one log line, when
    // the file is missing or is not such an array.
    static QList<VLAboutProduct> products();
    static QList<VLAboutProduct> productsFromFile(const QString &path);

private:
    QPixmap m_image;
    QString m_title;
    QString m_subtitle;
    QString m_action;
};
