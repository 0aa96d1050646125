#include "help/forum.h"

#include "platform/MessagePrompt.h"
#include "platform/WebOpener.h"

using namespace Qt::StringLiterals;

namespace lumaro {

QUrl forumPageUrl()
{
    QUrl url;
    url.setScheme(u"http"_s);
    url.setHost(QStringLiteral(LUMARO_FORUM_HOST));
    url.setPath(u"/bbs/forum.php"_s);
    url.setQuery(u"mod=forumdisplay&fid=108"_s);
    return url;
}

void openForumPage(WebOpener &web, MessagePrompt &prompt)
{
    const QUrl url = forumPageUrl();
    if (!web.open(url))
        prompt.show(u"无法启动浏览器。请在浏览器中打开这个网址：\n%1"_s.arg(url.toString()),
                        MsgButtons::Ok, MsgIcon::Warning, u"Lumaro"_s);
}

} // namespace lumaro
