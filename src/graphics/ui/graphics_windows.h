#pragma once

#include "graphics/ui/browser_view.h"

#include <QWidget>

#include <array>

class PictureView;
class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;

// The last picture, large; a click opens its address.
class frmFullImage final : public QWidget
{
    Q_OBJECT
public:
    explicit frmFullImage(QWidget *parent = nullptr);
    PictureView *Image1;
signals:
    void closed();
    void clicked();

protected:
    void closeEvent(QCloseEvent *event) override;
};

// The current graphic in a browser of its own.
class frmFullImageBrowser final : public QWidget
{
    Q_OBJECT
public:
    frmFullImageBrowser(const BrowserFactory &factory, QString pagePath, QWidget *parent = nullptr);
    ~frmFullImageBrowser() override;
    // Writes the full-size page first, then navigates unless still loading.
    void ShowAddress(const QString &address);
    BrowserView *browser() const { return m_browser.get(); }
signals:
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    std::unique_ptr<BrowserView> m_browser;
    QString m_pagePath;
};

// The four fixed graphics with previews, and the minutes between changes.
class frmImageSelection final : public QWidget
{
    Q_OBJECT
public:
    explicit frmImageSelection(QWidget *parent = nullptr);
    std::array<QLineEdit *, 4> Text;
    std::array<QCheckBox *, 4> Check;
    std::array<PictureView *, 4> Img;
    QLineEdit *Text5;
    QPushButton *Command3; // More
    QPushButton *Command2; // Update Now
    QPushButton *Command1; // Done
    QTimer *Timer1;        // counts the preview minutes
    int minutesCounted = 0;
signals:
    void previewClicked(int k);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

// The extra links that join the rotation.
class frmMoreLinks final : public QWidget
{
    Q_OBJECT
public:
    explicit frmMoreLinks(QWidget *parent = nullptr);
    QListWidget *List1;
    QLineEdit *Text1;
    QPushButton *Command2; // Add
    QPushButton *Command1; // Done
};
