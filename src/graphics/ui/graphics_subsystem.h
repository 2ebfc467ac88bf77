#pragma once

#include "base/ui/subsystem.h"
#include "graphics/graphics_rules.h"
#include "graphics/ui/browser_view.h"
#include "graphics/ui/graphics_windows.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

class GraphicsPanel;
struct DownloadError;

// The rotating weather graphics: the panel beside quick chat, the full-size
// views, the image selection and the extra links.
class GraphicsSubsystem final : public QObject, public Subsystem
{
    Q_OBJECT
public:
    explicit GraphicsSubsystem(const ClientContext &context, QObject *parent = nullptr);
    ~GraphicsSubsystem() override;

    void buildWindows(SubsystemHost &host) override;
    void buildMenus(MenuHost &host) override;
    void minute() override;
    void startTick(int tick) override;
    void closeWindows() override;

    // Start-up: the built-in four graphics, all shown, every minute.
    void SetDefaults();
    void setBrowserFactory(BrowserFactory factory);

    void RotateGraphics();
    void CreateGraphicPage(const QString &address);
    void ShowGraphic(const QString &address);
    void tmrRefresh_Timer();
    void cmdFullScreen_Click();
    void imgMainGraphic_Click();
    void imgGraphicURL_Click();
    void UpdatePreviews();
    void PreviewClicked(int k);
    void SelectionDone();
    void OpenMoreLinks();
    void AddLink();
    void LinksDone();

    Graphics::Rotation &rotation() { return m_rotation; }
    GraphicsPanel *panel() const { return m_panel; }
    frmImageSelection *imageSelection() const { return m_selection; }
    frmMoreLinks *moreLinks() const { return m_links; }
    frmFullImage *fullImage() const { return m_fullImage; }

signals:
    // A new picture file arrived (for the messaging window's picture).
    void pictureChanged(const QString &path);

private:
    void saveUrlList();
    // Downloads a picture address into its picture file; done gets the path.
    void downloadPicture(const QString &address, std::function<void(const QString &path)> done);
    void showError(const DownloadError &error);
    QString currentAddress() const;
    frmFullImage &openFullImage();

    ClientContext m_context;
    Graphics::Rotation m_rotation;
    QString m_picturePath;
    QTimer m_tmrRefresh;
    BrowserFactory m_factory;
    QWidget *m_window = nullptr;
    QPointer<GraphicsPanel> m_panel;
    QPointer<frmFullImage> m_fullImage;
    QPointer<frmFullImageBrowser> m_fullBrowser;
    QPointer<frmImageSelection> m_selection;
    QPointer<frmMoreLinks> m_links;
};
