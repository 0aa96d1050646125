// ============================================================ Panels, instructions and web link

#include "window/Form1.h"

#include "help/forum.h"
#include "platform/MessagePrompt.h"

#include <QGroupBox>

using namespace Qt::StringLiterals;

namespace lumaro {

void Form1::FormFont_Click()
{
    // The window has no font panel, so there is nothing to show or hide.
}

void Form1::FormImage_Click()
{
    FrameImage->setHidden(!FrameImage->isHidden());
}

void Form1::FormWord_Click()
{
    FrameWord->setHidden(!FrameWord->isHidden());
}

void Form1::FormPicture_Click()
{
    FramePicture->setHidden(!FramePicture->isHidden());
}

void Form1::Speak_Click()
{
    const QString prompt =
        u"本软件由Tavrin制作，仅供成员测试交流。一切因为本软件引发的后果，归使用者自行承担。"_s
        + u"\r\n"_s
        + u"                      点击\u201C是\u201D进入论坛查看使用说明"_s;
    if (m_platform.prompt.show(prompt, MsgButtons::YesNo, MsgIcon::Information, u"Lumaro"_s) == MsgAnswer::Yes)
        openForumPage(m_platform.web, m_platform.prompt);
}

void Form1::web_Click()
{
    openForumPage(m_platform.web, m_platform.prompt);
}

} // namespace lumaro
