#pragma once

#include <QLabel>

// A label that shows its whole text as a tool tip whenever the text is wider than the label.
class VLTooltipedTextField final : public QLabel
{
    Q_OBJECT
    Q_PROPERTY(QString stringValue READ stringValue WRITE setStringValue)

public:
    explicit VLTooltipedTextField(QWidget *parent = nullptr);

    QString stringValue() const { return text(); }
    void setStringValue(const QString &value);

    // The width the text takes in the label's font (letter spacing included).
    double textWidth() const;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void updateToolTip();
};
