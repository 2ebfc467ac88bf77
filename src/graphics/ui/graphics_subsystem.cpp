#include "graphics/ui/graphics_subsystem.h"

#include "base/client_state.h"
#include "base/list_files.h"
#include "base/status_line.h"
#include "base/ui/show_and_raise.h"
#include "graphics/ui/graphics_panel.h"
#include "graphics/ui/graphics_windows.h"
#include "graphics/ui/picture_view.h"
#include "net/url_download.h"
#include "platform/dialogs.h"
#include "platform/shell.h"

#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSaveFile>

using namespace Qt::Literals::StringLiterals;

GraphicsSubsystem::GraphicsSubsystem(const ClientContext &context, QObject *parent)
    : QObject(parent), m_context(context), m_factory(MakeWebEngineBrowser)
{
    m_tmrRefresh.setObjectName(u"tmrRefresh"_s);
    m_tmrRefresh.setInterval(Graphics::RefreshMs);
    connect(&m_tmrRefresh, &QTimer::timeout, this, &GraphicsSubsystem::tmrRefresh_Timer);
}

GraphicsSubsystem::~GraphicsSubsystem()
{
    delete m_fullImage;
    delete m_fullBrowser;
    delete m_selection;
    delete m_links;
}

void GraphicsSubsystem::SetDefaults()
{
    m_context.state.urlList = Graphics::DefaultList();
    m_rotation = {};
}

void GraphicsSubsystem::setBrowserFactory(BrowserFactory factory)
{
    m_factory = std::move(factory);
    if (m_panel)
        m_panel->setBrowserFactory(m_factory);
}

void GraphicsSubsystem::buildWindows(SubsystemHost &host)
{
    m_window = host.window();
    m_panel = new GraphicsPanel;
    m_panel->setBrowserFactory(m_factory);
    host.addPanel(PanelSlot::Graphics, m_panel);
    connect(m_panel->cmdFullScreen, &QPushButton::clicked, this, &GraphicsSubsystem::cmdFullScreen_Click);
    connect(m_panel->imgMainGraphic, &PictureView::clicked, this, &GraphicsSubsystem::imgMainGraphic_Click);
    connect(m_panel, &GraphicsPanel::browserUnavailable, this, [this] {
        m_context.statusLine.show(u"The web browser could not be loaded: "_s + BrowserUnavailableReason(),
                                  StatusStyle::Red);
    });
}

void GraphicsSubsystem::buildMenus(MenuHost &host)
{
    QAction *item = host.addMenuItem(MenuPlace::SettingsLower, u"imgGraphicURL"_s,
                                     u"&Graphic URL Source Links and Settings"_s);
    item->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    connect(item, &QAction::triggered, this, &GraphicsSubsystem::imgGraphicURL_Click);
}

void GraphicsSubsystem::minute()
{
    RotateGraphics();
}

void GraphicsSubsystem::startTick(int)
{
    const QString address = currentAddress();
    CreateGraphicPage(address);
    ShowGraphic(address);
}

void GraphicsSubsystem::closeWindows()
{
    for (QWidget *w : std::initializer_list<QWidget *>{m_fullImage, m_selection, m_fullBrowser, m_links})
        if (w)
            w->close();
}

QString GraphicsSubsystem::currentAddress() const
{
    return Graphics::Address(m_context.state.urlList, m_rotation.current);
}

void GraphicsSubsystem::RotateGraphics()
{
    if (const auto shown = Graphics::RotateGraphics(m_context.state.urlList, m_rotation)) {
        const QString address = Graphics::Address(m_context.state.urlList, *shown);
        CreateGraphicPage(address);
        ShowGraphic(address);
    }
}

void GraphicsSubsystem::CreateGraphicPage(const QString &address)
{
    const QSizeF twips = m_panel ? m_panel->browserTwips() : QSizeF();
    QSaveFile page(m_context.state.filePath(Graphics::PageFileName));
    if (page.open(QIODevice::WriteOnly)) {
        page.write(Graphics::GraphicPage(address, twips.width(), twips.height()));
        page.commit();
    }
}

void GraphicsSubsystem::ShowGraphic(const QString &address)
{
    if (!m_panel)
        return;
    if (BrowserView *b = m_panel->browser(); b && b->busy()) {
        b->stop();
        return;
    }
    m_panel->navigate(Graphics::IsWebPage(address)
                          ? QUrl(address)
                          : QUrl::fromLocalFile(m_context.state.filePath(Graphics::PageFileName)));
    m_tmrRefresh.start();
    if (m_fullBrowser)
        m_fullBrowser->ShowAddress(address);
    if (Graphics::IsUnsupportedPicture(address))
        m_context.statusLine.show(Graphics::UnsupportedPictureText(address));
    if (!Graphics::IsPicture(address))
        return;
    downloadPicture(address, [this](const QString &path) {
        m_panel->imgMainGraphic->load(path);
        if (m_fullImage)
            m_fullImage->Image1->load(path);
    });
}

void GraphicsSubsystem::downloadPicture(const QString &address, std::function<void(const QString &)> done)
{
    // The previous picture stays until a whole new one has arrived: the
    // downloader replaces the file only then.
    const QString path = m_context.state.filePath(Graphics::PictureFileName(address));
    m_context.downloader.CopyURLToFile(
        address, path,
        [this, path, done](const DownloadError &error) {
            if (!error.ok())
                return showError(error);
            if (!QFileInfo::exists(path))
                return;
            m_picturePath = path;
            emit pictureChanged(path);
            done(path);
        },
        this);
}

void GraphicsSubsystem::showError(const DownloadError &error)
{
    m_context.statusLine.show(u"Error retrieving graphic.  "_s + error.description);
}

void GraphicsSubsystem::tmrRefresh_Timer()
{
    BrowserView *main = m_panel ? m_panel->browser() : nullptr;
    BrowserView *full = m_fullBrowser ? m_fullBrowser->browser() : nullptr;
    const Graphics::RefreshAction a = Graphics::RefreshTick(
        main && main->busy(), m_panel && m_panel->browserShown(), m_fullBrowser, full && full->busy());
    if (a.stopMain && main)
        main->stop();
    if (a.reloadMain && main)
        main->reload();
    if (a.stopFull && full)
        full->stop();
    if (!a.keepTimer)
        m_tmrRefresh.stop();
}

void GraphicsSubsystem::cmdFullScreen_Click()
{
    if (!m_fullBrowser) {
        m_fullBrowser = new frmFullImageBrowser(
            m_factory, m_context.state.filePath(Graphics::FullSizePageFileName), m_window);
        m_fullBrowser->setAttribute(Qt::WA_DeleteOnClose);
    }
    showAndRaise(m_fullBrowser, false);
    m_fullBrowser->ShowAddress(currentAddress());
}

frmFullImage &GraphicsSubsystem::openFullImage()
{
    if (!m_fullImage) {
        m_fullImage = new frmFullImage(m_window);
        m_fullImage->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_fullImage, &frmFullImage::clicked, this, [this] {
            // Only web pages: an address from a list must not start a program.
            const QUrl url(currentAddress());
            if (!currentAddress().isEmpty() && IsSafeNetworkUrl(url))
                m_context.services.shell.openUrl(url);
        });
    }
    showAndRaise(m_fullImage, false);
    return *m_fullImage;
}

void GraphicsSubsystem::imgMainGraphic_Click()
{
    frmFullImage &w = openFullImage();
    if (!m_picturePath.isEmpty())
        w.Image1->load(m_picturePath);
}

void GraphicsSubsystem::imgGraphicURL_Click()
{
    if (!m_selection) {
        m_selection = new frmImageSelection(m_window);
        m_selection->setAttribute(Qt::WA_DeleteOnClose);
        const UrlList &list = m_context.state.urlList;
        for (int k = 0; k < Graphics::FixedEntries; ++k) {
            m_selection->Text[k]->setText(Graphics::Address(list, k + 1));
            m_selection->Check[k]->setChecked(k < list.entries.size() && list.entries[k].flag == 1);
        }
        m_selection->Text5->setText(Graphics::PlainNumber(list.rotationMinutes));
        connect(m_selection->Command2, &QPushButton::clicked, this, &GraphicsSubsystem::UpdatePreviews);
        connect(m_selection->Command1, &QPushButton::clicked, this, &GraphicsSubsystem::SelectionDone);
        connect(m_selection->Command3, &QPushButton::clicked, this, &GraphicsSubsystem::OpenMoreLinks);
        connect(m_selection, &frmImageSelection::previewClicked, this, &GraphicsSubsystem::PreviewClicked);
        connect(m_selection->Timer1, &QTimer::timeout, this, [this] {
            if (++m_selection->minutesCounted >= Graphics::PreviewMinutes(m_selection->Text5->text())) {
                m_selection->minutesCounted = 0;
                UpdatePreviews();
            }
        });
        m_selection->Timer1->start();
    }
    showAndRaise(m_selection, false);
}

void GraphicsSubsystem::UpdatePreviews()
{
    if (!m_selection)
        return;
    for (int k = 0; k < Graphics::FixedEntries; ++k) {
        const QString address = m_selection->Text[k]->text();
        if (Graphics::IsUnsupportedPicture(address))
            m_context.statusLine.show(Graphics::UnsupportedPictureText(address));
        if (!Graphics::HasPreviewAddress(address) || !Graphics::IsPicture(address))
            continue;
        QPointer<PictureView> preview = m_selection->Img[k];
        downloadPicture(address, [preview](const QString &path) {
            if (preview)
                preview->load(path);
        });
    }
}

void GraphicsSubsystem::PreviewClicked(int k)
{
    if (!m_selection || k < 1 || k > Graphics::FixedEntries)
        return;
    m_rotation.current = k;
    openFullImage();
    const QString address = m_selection->Text[k - 1]->text();
    QPointer<PictureView> preview = m_selection->Img[k - 1];
    auto showFull = [this] {
        if (m_fullImage && !m_picturePath.isEmpty())
            m_fullImage->Image1->load(m_picturePath);
    };
    if (Graphics::HasPreviewAddress(address) && Graphics::IsPicture(address))
        downloadPicture(address, [preview, showFull](const QString &path) {
            if (preview)
                preview->load(path);
            showFull();
        });
    showFull();
}

void GraphicsSubsystem::SelectionDone()
{
    if (!m_selection)
        return;
    std::array<Graphics::FixedEntry, Graphics::FixedEntries> fixed;
    for (int k = 0; k < Graphics::FixedEntries; ++k)
        fixed[k] = {m_selection->Text[k]->text(), m_selection->Check[k]->isChecked()};
    Graphics::ApplySelection(m_context.state.urlList, fixed, m_selection->Text5->text(), m_rotation);
    saveUrlList();
    m_selection->close();
}

void GraphicsSubsystem::saveUrlList()
{
    QString why;
    const bool saved = SaveUrlListFile(m_context.state, &why);
    if (const QString notice = SaveFailureNotice(m_context.state, UrlListFileName, saved, why);
        !notice.isEmpty())
        m_context.services.dialogs.messageBox(notice, QStringLiteral("Graphics"), Dialogs::OkOnly,
                                              Dialogs::Warning);
}

void GraphicsSubsystem::OpenMoreLinks()
{
    if (!m_links) {
        m_links = new frmMoreLinks(m_window);
        m_links->setAttribute(Qt::WA_DeleteOnClose);
        const UrlList &list = m_context.state.urlList;
        for (qsizetype i = Graphics::FixedEntries; i < list.entries.size(); ++i)
            m_links->List1->addItem(list.entries[i].url);
        connect(m_links->Command2, &QPushButton::clicked, this, &GraphicsSubsystem::AddLink);
        connect(m_links->Text1, &QLineEdit::returnPressed, this, &GraphicsSubsystem::AddLink);
        connect(m_links->Command1, &QPushButton::clicked, this, &GraphicsSubsystem::LinksDone);
        connect(m_links->List1, &QListWidget::itemClicked, m_links,
                [this](QListWidgetItem *item) { m_links->Text1->setText(item->text()); });
        connect(m_links->List1, &QListWidget::itemDoubleClicked, m_links, [this](QListWidgetItem *item) {
            delete item;
            m_links->Text1->setFocus();
        });
    }
    showAndRaise(m_links, false);
}

void GraphicsSubsystem::AddLink()
{
    if (!m_links)
        return;
    switch (Graphics::CanAddLink(m_links->Text1->text(), m_links->List1->count())) {
    case Graphics::AddResult::Added:
        m_links->List1->addItem(m_links->Text1->text());
        m_links->Text1->clear();
        break;
    case Graphics::AddResult::Full:
        m_context.services.dialogs.messageBox(
            u"The list is full: at most %1 additional links can be kept."_s.arg(Graphics::MaxExtraLinks),
            u"More Links!"_s, Dialogs::OkOnly, Dialogs::Warning);
        break;
    case Graphics::AddResult::Blank:
        break;
    }
    m_links->Text1->setFocus();
}

void GraphicsSubsystem::LinksDone()
{
    if (!m_links)
        return;
    QStringList links;
    for (int i = 0; i < m_links->List1->count(); ++i)
        links << m_links->List1->item(i)->text();
    Graphics::ApplyLinkList(m_context.state.urlList, links, m_rotation);
    saveUrlList();
    m_links->close();
}
