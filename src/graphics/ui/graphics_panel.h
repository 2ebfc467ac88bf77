#pragma once

#include "graphics/ui/browser_view.h"

#include <QWidget>

class PictureView;
class QPushButton;

// The graphics place on the main window: the downloaded picture, or over it
// the browser, with the buttons that switch between them and the lists.
class GraphicsPanel final : public QWidget
{
    Q_OBJECT
public:
    explicit GraphicsPanel(QWidget *parent = nullptr);
    ~GraphicsPanel() override;

    // The browser is made the first time it is shown, by this factory.
    void setBrowserFactory(BrowserFactory factory) { m_factory = std::move(factory); }
    // Null until the browser view was first shown.
    BrowserView *browser() const { return m_browser.get(); }
    // Navigates now when the browser exists, otherwise when it is made.
    void navigate(const QUrl &url);
    bool browserShown() const;
    // The browser's place in twips, as the generated page sizes itself.
    QSizeF browserTwips() const;

    void cmdToggle_Click();
    void Command1_Click();
    bool imageViewShown() const;

    QPushButton *cmdToggle;
    QPushButton *Command1;
    QPushButton *cmdFullScreen;
    PictureView *imgMainGraphic;
    QWidget *WebBrowser1; // holds the browser view once made

signals:
    // The phrase lists give their place to the graphic (false) or take it back.
    void listsShown(bool shown);
    void focusReportBox();
    // "Switch to Browser" found no browser to show.
    void browserUnavailable();

private:
    // False when the browser was asked for but cannot be made.
    bool setBrowserShown(bool shown);

    BrowserFactory m_factory;
    std::unique_ptr<BrowserView> m_browser;
    QUrl m_pending;
};
