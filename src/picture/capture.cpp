// ============================================================ Capture, save and reset

#include "window/Form1.h"

#include "platform/CaptureLibrary.h"
#include "platform/Clipboard.h"
#include "platform/MessagePrompt.h"
#include "platform/PictureWriter.h"
#include "window/CaptureDisplay.h"
#include "window/PictureDisplay.h"

#include <QDir>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace lumaro {

void Form1::Command5_Click()
{
    Picture1->setAutoSize(true);
    const CaptureResult captured = m_platform.capture.CameraSubArea();
    // Only an accepted selection put a picture on the clipboard; after a
    // cancel it still holds whatever it held before, which must not be shown.
    if (captured.status == CaptureStatus::Cancelled)
        return;
    if (captured.status == CaptureStatus::Failed) {
        warn(u"无法截取屏幕。\n%1"_s.arg(captured.error));
        return;
    }
    const QImage shot = m_platform.clipboard.image();
    if (shot.isNull()) {
        warn(u"无法截取屏幕：剪贴板上没有截图。"_s);
        return;
    }
    Picture1->setCapture(shot);
    Picture1->show();
    Imageshow->hide();
    Command6->setEnabled(true);
    Command5->setEnabled(false);
}

void Form1::Command6_Click()
{
    Dialog.ShowSave();
    if (Dialog.FileName().isEmpty()) {
        m_platform.prompt.show(u"图片未保存"_s, MsgButtons::Ok, MsgIcon::Information, u"Lumaro"_s);
        return;
    }
    const QString path = Dialog.FileName();
    QString error;
    if (!m_platform.writer.write(Picture1->capture(), path, &error)) {
        // Stay in the captured state so the user can try another name.
        warn(u"图片未能保存到“%1”。\n%2"_s.arg(QDir::toNativeSeparators(path), error));
        return;
    }
    Command5->setEnabled(true);
    Command6->setEnabled(false);
}

void Form1::Command7_Click()
{
    Imageshow->show();
    Picture1->hide();
    Command6->setEnabled(false);
    Command5->setEnabled(true);
}

} // namespace lumaro
