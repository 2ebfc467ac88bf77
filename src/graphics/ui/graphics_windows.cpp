#include "graphics/ui/graphics_windows.h"

#include "base/ui/scale_window.h"
#include "graphics/graphics_rules.h"
#include "graphics/ui/picture_view.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QVBoxLayout>

frmFullImage::frmFullImage(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmFullImage"));
    setWindowTitle(QStringLiteral("Full Screen Picture Image"));
    Image1 = new PictureView(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setCursor(Qt::PointingHandCursor);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Image1);
    ScaleWindow(this, FormScaling::WindowGroup::Main, QSize(800, 570));
    connect(Image1, &PictureView::clicked, this, &frmFullImage::clicked);
}

void frmFullImage::closeEvent(QCloseEvent *event)
{
    emit closed();
    QWidget::closeEvent(event);
}

frmFullImageBrowser::frmFullImageBrowser(const BrowserFactory &factory, QString pagePath, QWidget *parent)
    : QWidget(parent, Qt::Window), m_pagePath(std::move(pagePath))
{
    setObjectName(QStringLiteral("frmFullImageBrowser"));
    setWindowTitle(QStringLiteral("Full Screen Browser Image"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (factory)
        m_browser = factory(this);
    if (m_browser)
        layout->addWidget(m_browser->widget());
    ScaleWindow(this, FormScaling::WindowGroup::Main, QSize(800, 570));
}

frmFullImageBrowser::~frmFullImageBrowser() = default;

void frmFullImageBrowser::ShowAddress(const QString &address)
{
    const QSize size = m_browser ? m_browser->widget()->size() : this->size();
    QSaveFile page(m_pagePath);
    if (page.open(QIODevice::WriteOnly)) {
        page.write(Graphics::GraphicPage(address, size.width() * 15.0, size.height() * 15.0));
        page.commit();
    }
    if (!m_browser)
        return;
    if (m_browser->busy()) {
        m_browser->stop();
        return;
    }
    m_browser->navigate(Graphics::IsWebPage(address) ? QUrl(address) : QUrl::fromLocalFile(m_pagePath));
}

void frmFullImageBrowser::closeEvent(QCloseEvent *event)
{
    emit closed();
    QWidget::closeEvent(event);
}

frmImageSelection::frmImageSelection(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmImageSelection"));
    setWindowTitle(QStringLiteral("Image Selection"));
    auto *grid = new QGridLayout;
    for (int k = 0; k < 4; ++k) {
        const QString n = QString::number(k + 1);
        Check[k] = new QCheckBox(QStringLiteral("Display"), this);
        Check[k]->setObjectName(QStringLiteral("Check") + n);
        Text[k] = new QLineEdit(this);
        Text[k]->setObjectName(QStringLiteral("Text") + n);
        Text[k]->setMinimumWidth(320);
        Img[k] = new PictureView(this);
        Img[k]->setObjectName(QStringLiteral("Img") + n);
        Img[k]->setMinimumSize(160, 110);
        Img[k]->setFrameShape(QFrame::Box);
        Img[k]->setCursor(Qt::PointingHandCursor);
        Img[k]->setToolTip(QStringLiteral("Click for full screen image."));
        auto *box = new QVBoxLayout;
        box->addWidget(new QLabel(QStringLiteral("Graphic ") + n + u':', this));
        box->addWidget(Text[k]);
        box->addWidget(Check[k]);
        box->addWidget(Img[k], 1);
        grid->addLayout(box, k / 2, k % 2);
        connect(Img[k], &PictureView::clicked, this, [this, k] { emit previewClicked(k + 1); });
    }
    Text5 = new QLineEdit(this);
    Text5->setObjectName(QStringLiteral("Text5"));
    Text5->setMaximumWidth(60);
    Text5->installEventFilter(this);
    Command3 = new QPushButton(QStringLiteral("More"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    Command3->setToolTip(QStringLiteral("Add more links!"));
    Command2 = new QPushButton(QStringLiteral("Update Now"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command1 = new QPushButton(QStringLiteral("Done"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Minutes between graphics:"), this));
    row->addWidget(Text5);
    row->addStretch();
    row->addWidget(Command3);
    row->addWidget(Command2);
    row->addWidget(Command1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid, 1);
    layout->addLayout(row);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(60'000);
    ScaleWindow(this, FormScaling::WindowGroup::Main, QSize(760, 520));
}

bool frmImageSelection::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Text5 && event->type() == QEvent::FocusOut)
        Text5->setText(Graphics::NormalizeMinutesText(Text5->text()));
    return QWidget::eventFilter(watched, event);
}

frmMoreLinks::frmMoreLinks(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmMoreLinks"));
    setWindowTitle(QStringLiteral("More Links!"));
    auto *label =
        new QLabel(QStringLiteral("Use this form to add more image links for Nimbrel to cycle through.  "
                                  "Double click a link to remove it."),
                   this);
    label->setWordWrap(true);
    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Command2 = new QPushButton(QStringLiteral("&Add"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command1 = new QPushButton(QStringLiteral("&Done"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    auto *row = new QHBoxLayout;
    row->addWidget(Text1, 1);
    row->addWidget(Command2);
    row->addWidget(Command1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(List1, 1);
    layout->addLayout(row);
    ScaleWindow(this, FormScaling::WindowGroup::Other, QSize(520, 360));
}
