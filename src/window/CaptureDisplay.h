#pragma once

#include <QFrame>
#include <QImage>

namespace lumaro {

// The capture display (the window's PictureBox control, Picture1): a
// bordered box that, with AutoSize on, takes its capture's size from its
// unchanged top-left corner. The window clips it; nothing scales it.
class CaptureDisplay : public QFrame
{
    Q_OBJECT
public:
    explicit CaptureDisplay(QWidget *parent = nullptr);

    void setAutoSize(bool on);
    bool autoSize() const { return m_autoSize; }

    void setCapture(const QImage &image);
    const QImage &capture() const { return m_image; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void fitToCapture();

    QImage m_image;
    bool m_autoSize = false;
};

} // namespace lumaro
