// The panel switches, the instructions message and the forum link.

#include "fakes.h"

#include "help/forum.h"

#include <QGroupBox>
#include <QMenu>

using namespace Qt::StringLiterals;

class TestHelp : public QObject
{
    Q_OBJECT
private slots:
    void panelSwitchesToggle_data();
    void panelSwitchesToggle();
    void instructionsAreTwoLinesAskingYesOrNo();
    void answeringYesOpensTheForum_data();
    void answeringYesOpensTheForum();
    void webOpensTheForumOrSaysWhere();
};

void TestHelp::panelSwitchesToggle_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("panel");
    QTest::newRow("图像窗口") << u"FormImage"_s << u"FrameImage"_s;
    QTest::newRow("图片窗口") << u"FormPicture"_s << u"FramePicture"_s;
    QTest::newRow("文字窗口") << u"FormWord"_s << u"FrameWord"_s;
}

void TestHelp::panelSwitchesToggle()
{
    QFETCH(QString, item);
    QFETCH(QString, panel);
    Fixture f;
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    auto *action = f->findChild<QAction *>(item);
    auto *frame = f->findChild<QGroupBox *>(panel);
    QList<std::pair<QWidget *, QRect>> others;
    for (QGroupBox *g : f->findChildren<QGroupBox *>())
        if (g != frame)
            others.append({ g, g->geometry() });
    const QSize windowSize = f->size();

    action->trigger();
    QVERIFY(!frame->isVisible());
    for (const auto &[g, rect] : others) {
        QVERIFY(g->isVisible());
        QCOMPARE(g->geometry(), rect);
    }
    QCOMPARE(f->size(), windowSize);
    action->trigger();
    QVERIFY(frame->isVisible());
}

void TestHelp::instructionsAreTwoLinesAskingYesOrNo()
{
    Fixture f;
    f.fakes.prompt.answer = MsgAnswer::No;
    f->Speak->trigger();
    QCOMPARE(f.fakes.prompt.shown.size(), 1);
    const auto &box = f.fakes.prompt.shown.first();
    const QStringList lines = box.prompt.split(u"\r\n"_s);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(box.title, u"Lumaro"_s);
    QCOMPARE(box.buttons, MsgButtons::YesNo);
    QCOMPARE(box.icon, MsgIcon::Information);
}

void TestHelp::answeringYesOpensTheForum_data()
{
    QTest::addColumn<MsgAnswer>("answer");
    QTest::addColumn<int>("opened");
    QTest::newRow("yes") << MsgAnswer::Yes << 1;
    QTest::newRow("no") << MsgAnswer::No << 0;
}

void TestHelp::answeringYesOpensTheForum()
{
    QFETCH(MsgAnswer, answer);
    QFETCH(int, opened);
    Fixture f;
    f.fakes.prompt.answer = answer;
    f->Speak_Click();
    QCOMPARE(f.fakes.web.opened.size(), opened);
    QCOMPARE(f.fakes.prompt.shown.size(), 1);
}

void TestHelp::webOpensTheForumOrSaysWhere()
{
    Fixture f;
    f->web->trigger();
    QCOMPARE(f.fakes.web.opened.size(), 1);
    const QUrl url = f.fakes.web.opened.first();
    QCOMPARE(url.scheme(), u"http"_s);
    QVERIFY(!url.host().isEmpty());
    QCOMPARE(url.path(), u"/bbs/forum.php"_s);
    QCOMPARE(url.query(), u"mod=forumdisplay&fid=108"_s);
    QCOMPARE(url, forumPageUrl());
    QVERIFY(f.fakes.prompt.shown.isEmpty());

    f.fakes.web.succeed = false;
    f->web_Click();
    QCOMPARE(f.fakes.prompt.shown.size(), 1);
    QVERIFY(f.fakes.prompt.shown.first().prompt.contains(url.toString()));
    QCOMPARE(f.fakes.prompt.shown.first().title, u"Lumaro"_s);
}

LUMARO_TEST_MAIN(TestHelp)
#include "tst_help.moc"
