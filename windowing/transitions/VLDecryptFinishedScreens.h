#pragma once

class QWidget;

// What the decrypt-finished transition needs of the decrypted result screen it leaves.
class VLDecryptFinishedSourceScreen
{
public:
    virtual ~VLDecryptFinishedSourceScreen() = default;
    virtual QWidget *startOverButton() const = 0;
    virtual QWidget *titleView() const = 0;
    virtual QWidget *iconView() const = 0;
};

// What it needs of the decrypt completed screen it shows.
class VLDecryptFinishedDestinationScreen
{
public:
    virtual ~VLDecryptFinishedDestinationScreen() = default;
    virtual QWidget *startOverButton() const = 0;
    virtual QWidget *titleView() const = 0;
    virtual QWidget *titleLabel() const = 0;
};
