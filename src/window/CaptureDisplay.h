#pragma once

#include <QFrame>
#include <QImage>

namespace lumaro {

// The capture display (the window's PictureBox control, Picture1): a
// bordered box that, with AutoSize on, takes its capture's size from its
// unchanged top-left corner. The window clips it; nothing scales it.
//
// A capture is shown pixel for pixel: each of its pixels is one pixel of the
// screen the window is on, whatever that screen's scale, so it is as crisp
// as it was taken. The box and its border are painted in the screen's own
// pixels too, so at a fractional scale no background shows between them.
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
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void fitToCapture();

    QImage m_image;
    bool m_autoSize = false;
};

} // namespace lumaro
