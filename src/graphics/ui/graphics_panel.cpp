#include "graphics/ui/graphics_panel.h"

#include "graphics/ui/picture_view.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString ViewImage = QStringLiteral("View Image");
const QString ViewLists = QStringLiteral("View Lists");
const QString SwitchToBrowser = QStringLiteral("Switch to Browser");
const QString SwitchToPicture = QStringLiteral("Switch to Picture");
// Twips per pixel of the generated page's arithmetic.
constexpr double TwipsPerPixel = 15;
} // namespace

GraphicsPanel::GraphicsPanel(QWidget *parent) : QWidget(parent), m_factory(MakeWebEngineBrowser)
{
    setObjectName(QStringLiteral("GraphicsPanel"));
    imgMainGraphic = new PictureView(this);
    imgMainGraphic->setObjectName(QStringLiteral("imgMainGraphic"));
    imgMainGraphic->setCursor(Qt::PointingHandCursor);
    imgMainGraphic->setMinimumSize(240, 160);
    WebBrowser1 = new QWidget(this);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    WebBrowser1->setToolTip(
        QStringLiteral("The web browser can show animated graphics!  Click the Full Screen "
                       "button below for a full sized image."));
    WebBrowser1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    WebBrowser1->setMinimumSize(240, 160);
    auto *browserLayout = new QVBoxLayout(WebBrowser1);
    browserLayout->setContentsMargins(0, 0, 0, 0);

    cmdToggle = new QPushButton(ViewImage, this);
    cmdToggle->setObjectName(QStringLiteral("cmdToggle"));
    Command1 = new QPushButton(SwitchToBrowser, this);
    Command1->setObjectName(QStringLiteral("Command1"));
    cmdFullScreen = new QPushButton(QStringLiteral("Full Screen"), this);
    cmdFullScreen->setObjectName(QStringLiteral("cmdFullScreen"));
    for (QPushButton *b : {cmdToggle, Command1, cmdFullScreen})
        b->setFocusPolicy(Qt::TabFocus);

    auto *view = new QGridLayout;
    view->setContentsMargins(0, 0, 0, 0);
    // The browser lies over the picture in the same cell.
    view->addWidget(imgMainGraphic, 0, 0);
    view->addWidget(WebBrowser1, 0, 0);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdToggle);
    buttons->addWidget(Command1);
    buttons->addWidget(cmdFullScreen);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(view, 1);
    layout->addLayout(buttons);

    imgMainGraphic->hide();
    WebBrowser1->hide();
    Command1->hide();
    cmdFullScreen->hide();
    connect(cmdToggle, &QPushButton::clicked, this, &GraphicsPanel::cmdToggle_Click);
    connect(Command1, &QPushButton::clicked, this, &GraphicsPanel::Command1_Click);
}

GraphicsPanel::~GraphicsPanel() = default;

void GraphicsPanel::navigate(const QUrl &url)
{
    if (m_browser)
        m_browser->navigate(url);
    else
        m_pending = url;
}

bool GraphicsPanel::browserShown() const
{
    return WebBrowser1->isVisible();
}

bool GraphicsPanel::imageViewShown() const
{
    return cmdToggle->text() == ViewLists;
}

QSizeF GraphicsPanel::browserTwips() const
{
    return QSizeF(WebBrowser1->width() * TwipsPerPixel, WebBrowser1->height() * TwipsPerPixel);
}

bool GraphicsPanel::setBrowserShown(bool shown)
{
    if (shown && !m_browser && m_factory) {
        m_browser = m_factory(WebBrowser1);
        if (m_browser) {
            WebBrowser1->layout()->addWidget(m_browser->widget());
            if (!m_pending.isEmpty())
                m_browser->navigate(m_pending);
            m_pending.clear();
        }
    }
    shown = shown && m_browser;
    WebBrowser1->setVisible(shown);
    return shown;
}

void GraphicsPanel::cmdToggle_Click()
{
    if (cmdToggle->text() == ViewImage) {
        emit listsShown(false);
        imgMainGraphic->show();
        const bool browser = Command1->text() != SwitchToBrowser;
        cmdFullScreen->setVisible(browser);
        setBrowserShown(browser);
        Command1->show();
        cmdToggle->setText(ViewLists);
    } else {
        emit listsShown(true);
        imgMainGraphic->hide();
        setBrowserShown(false);
        cmdFullScreen->hide();
        Command1->hide();
        cmdToggle->setText(ViewImage);
    }
    emit focusReportBox();
}

void GraphicsPanel::Command1_Click()
{
    if (Command1->text() == SwitchToBrowser) {
        if (!setBrowserShown(true)) {
            // Without the browser the picture stays, and so does the button.
            emit browserUnavailable();
            emit focusReportBox();
            return;
        }
        cmdFullScreen->show();
        Command1->setText(SwitchToPicture);
    } else {
        setBrowserShown(false);
        cmdFullScreen->hide();
        Command1->setText(SwitchToBrowser);
    }
    emit focusReportBox();
}
