#pragma once

#include <QLabel>

class QBuffer;
class QMovie;

// A picture file shown scaled to fit, keeping its proportions; an animated
// GIF moves. The file's bytes are read at once, so the file may be replaced
// while it shows.
class PictureView final : public QLabel
{
    Q_OBJECT
public:
    explicit PictureView(QWidget *parent = nullptr);
    ~PictureView() override;

    // False when the file could not be read as a picture: the previous one stays.
    bool load(const QString &path);
    bool hasPicture() const { return !m_frame.isNull(); }
    bool animated() const;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void showFrame();

    QMovie *m_movie = nullptr;
    QBuffer *m_buffer = nullptr;
    QPixmap m_frame;
};
