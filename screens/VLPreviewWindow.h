#pragma once

#include <QHash>
#include <QImage>
#include <QList>
#include <QPointer>
#include <QUrl>
#include <QWidget>

class QLabel;
class QToolButton;

// The quick preview of a result: a small window titled "Preview" with the item's thumbnail (or
// its type icon when it has none), its name and its size. Several items are shown one at a
// time: the arrow buttons, or Left and Right, page through them. A folder's size is computed in
// the background, so a large tree never holds up the window. One window is shared by the
// screens that offer it; Space on such a screen toggles it, leaving the screen closes it, and
// Space or Escape in the window itself closes it too.
class VLPreviewWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLPreviewWindow)

public:
    // The shared window, made on first use; it lives until the application goes.
    static VLPreviewWindow *sharedPreviewWindow();
    // Whether the shared window has been made, without making it.
    static bool sharedPreviewWindowExists();

    // Closes the shared window when it exists and is visible.
    static void closeSharedPreviewWindow();
    // Shows the item in the shared window beside the given window, or closes the shared window
    // when it is already visible.
    static void toggleSharedPreviewWindowForURL(const QUrl &url, QWidget *window);
    static void toggleSharedPreviewWindowForURLs(const QList<QUrl> &urls, QWidget *window);

    explicit VLPreviewWindow(QWidget *parent = nullptr);
    ~VLPreviewWindow() override;

    // The items offered, the first one shown; its picture and name are read when it is shown,
    // its size is filled in once the background sizer has answered.
    void setPreviewItemURLs(const QList<QUrl> &urls);
    void setPreviewItemURL(const QUrl &url) { setPreviewItemURLs({url}); }
    QList<QUrl> previewItemURLs() const { return m_urls; }
    // The item shown.
    QUrl previewItemURL() const { return m_urls.value(m_index); }
    int currentPreviewItemIndex() const { return m_index; }
    // Shows another of the items; an index outside the list changes nothing.
    void setCurrentPreviewItemIndex(int index);
    void showNextItem() { setCurrentPreviewItemIndex(m_index + 1); }
    void showPreviousItem() { setCurrentPreviewItemIndex(m_index - 1); }

    // Shows the window next to the given window (on top of it when there is no room) and
    // gives it the focus.
    void makeKeyAndOrderFront(QWidget *window = nullptr);

    QImage previewImage() const { return m_image; }
    QString nameText() const;
    QString sizeText() const;
    // "2 of 3"; empty for a single item.
    QString pageText() const;
    QToolButton *previousButton() const { return m_previousButton; }
    QToolButton *nextButton() const { return m_nextButton; }

    // The largest side of the picture, in pixels.
    static constexpr int imageSide = 256;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void showCurrentItem();

    QList<QUrl> m_urls;
    int m_index = 0;
    // Sizes already answered, so paging back shows them at once.
    QHash<QUrl, QString> m_sizes;
    QImage m_image;
    QLabel *m_imageLabel = nullptr;
    QLabel *m_nameLabel = nullptr;
    QLabel *m_sizeLabel = nullptr;
    QLabel *m_pageLabel = nullptr;
    QToolButton *m_previousButton = nullptr;
    QToolButton *m_nextButton = nullptr;
};
