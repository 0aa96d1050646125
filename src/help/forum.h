#pragma once

#include <QUrl>

namespace lumaro {

class MessagePrompt;
class WebOpener;

// The community forum's page: http://<forum host>/bbs/forum.php?mod=forumdisplay&fid=108
QUrl forumPageUrl();

// Hands the forum page to the browser; says so, with the address, when no
// browser could be started.
void openForumPage(WebOpener &web, MessagePrompt &prompt);

} // namespace lumaro
