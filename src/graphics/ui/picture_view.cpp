#include "graphics/ui/picture_view.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QMouseEvent>
#include <QMovie>

PictureView::PictureView(QWidget *parent) : QLabel(parent)
{
    setAlignment(Qt::AlignCenter);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    setMinimumSize(60, 45);
}

PictureView::~PictureView()
{
    delete m_movie;
    delete m_buffer;
}

bool PictureView::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    auto *buffer = new QBuffer;
    buffer->setData(file.readAll());
    buffer->open(QIODevice::ReadOnly);
    auto *movie = new QMovie(buffer, QByteArray());
    if (!movie->isValid() || !movie->jumpToFrame(0) || movie->currentPixmap().isNull()) {
        delete movie;
        delete buffer;
        return false;
    }
    delete m_movie;
    delete m_buffer;
    m_movie = movie;
    m_buffer = buffer;
    connect(m_movie, &QMovie::frameChanged, this, [this] {
        m_frame = m_movie->currentPixmap();
        showFrame();
    });
    m_frame = m_movie->currentPixmap();
    showFrame();
    if (m_movie->frameCount() != 1)
        m_movie->start();
    return true;
}

bool PictureView::animated() const
{
    return m_movie && m_movie->state() == QMovie::Running;
}

void PictureView::showFrame()
{
    if (m_frame.isNull() || width() <= 0 || height() <= 0)
        return;
    setPixmap(m_frame.scaled(size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void PictureView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

void PictureView::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    showFrame();
}
