#include "TransitionTestScreens.h"

void PasswordScreen::loadView()
{
    QWidget *view = makeRootView();
    header = new QWidget(view);
    header->setGeometry(0, 0, 400, 60);
    setTitleView(makeBlock(header, QRect(100, 15, 200, titleHeight), m_titleColor, QStringLiteral("title")));
    caption = makeBlock(header, QRect(10, 10, 60, 20), Qt::darkGreen, QStringLiteral("caption"));
    field = makeBlock(view, QRect(50, 100, 300, 30), m_fieldColor, QStringLiteral("field"));
    badge = makeBlock(view, QRect(360, 105, 20, 20), Qt::black, QStringLiteral("badge"));
    confirm = makeBlock(view, QRect(150, 200, 100, 30), Qt::cyan, QStringLiteral("confirm"));
    vlSetAlphaValue(badge, 0.0);
    vlSetAlphaValue(confirm, 0.8);
    setView(view);
}

void DecryptedScreen::loadView()
{
    QWidget *view = makeRootView();
    setTitleView(makeBlock(view, QRect(100, 15, 200, 30), Qt::magenta, QStringLiteral("title")));
    m_icon = makeBlock(view, QRect(160, 70, 80, 80), Qt::green, QStringLiteral("icon"));
    saveButton = makeBlock(view, QRect(50, 200, 100, 30), Qt::red, QStringLiteral("save"));
    label = makeBlock(view, QRect(100, 160, 200, 20), Qt::gray, QStringLiteral("label"));
    m_startOver = makeBlock(view, QRect(250, 200, 100, 30), Qt::cyan, QStringLiteral("startOver"));
    vlSetAlphaValue(label, 0.6);
    setView(view);
}

void CompletedScreen::loadView()
{
    QWidget *view = makeRootView();
    setTitleView(makeBlock(view, QRect(100, 15, 200, 30), Qt::magenta, QStringLiteral("title")));
    m_titleLabel = makeBlock(view, QRect(100, 50, 200, 20), Qt::darkMagenta, QStringLiteral("titleLabel"));
    revealButton = makeBlock(view, QRect(50, 200, 100, 30), Qt::yellow, QStringLiteral("reveal"));
    m_startOver = makeBlock(view, QRect(250, 200, 100, 30), Qt::cyan, QStringLiteral("startOver"));
    setView(view);
}

void PlainTitledScreen::loadView()
{
    QWidget *view = makeRootView();
    setTitleView(makeBlock(view, QRect(100, 15, 200, 30), Qt::magenta, QStringLiteral("title")));
    field = makeBlock(view, QRect(50, 100, 300, 30), m_fieldColor, QStringLiteral("field"));
    setView(view);
}
