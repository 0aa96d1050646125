#pragma once

// Hand-written stand-ins for the platform: each records what it was asked and
// answers what the test scripted.

#include "platform/CaptureLibrary.h"
#include "platform/Clipboard.h"
#include "platform/CommonDialog.h"
#include "platform/MessagePrompt.h"
#include "platform/Platform.h"
#include "platform/PictureLoader.h"
#include "platform/PictureWriter.h"
#include "platform/WebOpener.h"
#include "window/Form1.h"

#include <QApplication>
#include <QMap>
#include <QTest>

#include <functional>
#include <memory>
#include <optional>

using namespace lumaro;

struct FakeDialog : CommonDialog
{
    QString nextFileName;                  // what the next open/save dialog returns ("" = cancelled)
    std::optional<std::uint32_t> nextColor; // nullopt = cancelled
    QStringList calls;
    DialogSettings lastSettings;
    std::uint32_t lastColorStart = 0;

    QString open(const DialogSettings &settings) override
    {
        calls << QStringLiteral("open");
        lastSettings = settings;
        return nextFileName;
    }
    QString save(const DialogSettings &settings) override
    {
        calls << QStringLiteral("save");
        lastSettings = settings;
        return nextFileName;
    }
    std::optional<std::uint32_t> color(std::uint32_t current) override
    {
        calls << QStringLiteral("color");
        lastColorStart = current;
        return nextColor;
    }
};

struct FakeLoader : PictureLoader
{
    QMap<QString, QImage> files;   // path -> picture; any other path fails
    QMap<QByteArray, QImage> data; // bytes -> picture; any other bytes fail
    QStringList loaded;            // paths, and "data:" + the bytes
    QSize lastDisplaySize;
    QStringList readableTypes{ QStringLiteral("image/png"), QStringLiteral("image/jpeg") };
    QStringList lookLikePictures; // paths that pass a drag's look without loading

    LoadResult load(const QString &path, QSize displaySize) override
    {
        loaded << path;
        return answer(files, path, displaySize);
    }
    LoadResult loadData(const QByteArray &bytes, QSize displaySize) override
    {
        loaded << QStringLiteral("data:") + QString::fromLatin1(bytes);
        return answer(data, bytes, displaySize);
    }
    bool readsType(const QString &mimeType) override { return readableTypes.contains(mimeType); }
    bool looksReadable(const QString &path) override
    {
        return files.contains(path) || lookLikePictures.contains(path);
    }

private:
    template <typename Key>
    LoadResult answer(const QMap<Key, QImage> &known, const Key &key, QSize displaySize)
    {
        lastDisplaySize = displaySize;
        LoadResult r;
        if (known.contains(key))
            r.picture = { known.value(key), known.value(key).size(), {} };
        else
            r.error = QStringLiteral("not a picture");
        return r;
    }
};

struct FakeWriter : PictureWriter
{
    bool succeed = true;
    QList<std::pair<QString, QImage>> written;

    bool write(const QImage &image, const QString &path, QString *error) override
    {
        if (!succeed) {
            *error = QStringLiteral("disk full");
            return false;
        }
        written.append({ path, image });
        return true;
    }
};

struct FakeClipboard : Clipboard
{
    QImage picture;
    QImage image() const override { return picture; }
};

struct FakePrompt : MessagePrompt
{
    struct Shown
    {
        QString prompt;
        MsgButtons buttons;
        MsgIcon icon;
        QString title;
    };
    QList<Shown> shown;
    MsgAnswer answer = MsgAnswer::Ok;

    MsgAnswer show(const QString &prompt, MsgButtons buttons, MsgIcon icon, const QString &title) override
    {
        shown.append({ prompt, buttons, icon, title });
        return answer;
    }
};

struct FakeWeb : WebOpener
{
    bool succeed = true;
    QList<QUrl> opened;
    bool open(const QUrl &url) override
    {
        opened << url;
        return succeed;
    }
};

struct FakeCapture : CaptureLibrary
{
    CaptureResult next{ CaptureStatus::Accepted, {} };
    std::function<void()> during; // runs while the "selector" is up
    int calls = 0;
    CaptureResult CameraSubArea() override
    {
        ++calls;
        if (during)
            during();
        return next;
    }
};

struct Fakes
{
    FakeDialog dialog;
    FakeLoader loader;
    FakeWriter writer;
    FakeClipboard clipboard;
    FakePrompt prompt;
    FakeWeb web;
    FakeCapture capture;

    Platform refs() { return { dialog, loader, writer, clipboard, prompt, web, capture }; }
};

// A window built on fakes, as each test needs it fresh.
struct Fixture
{
    Fakes fakes;
    std::unique_ptr<Form1> form{ new Form1(fakes.refs()) };
    Form1 *operator->() { return form.get(); }
};

// The window is laid out at 96 dpi; tests measure at that density too.
#define LUMARO_TEST_MAIN(TestClass)                              \
    int main(int argc, char **argv)                              \
    {                                                            \
        QApplication::setAttribute(Qt::AA_Use96Dpi);             \
        QApplication app(argc, argv);                            \
        TestClass tc;                                            \
        return QTest::qExec(&tc, argc, argv);                    \
    }
