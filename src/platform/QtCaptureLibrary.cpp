#include "platform/QtCaptureLibrary.h"

#include "platform/FreeMemory.h"

#include <QCoreApplication>
#include <QDir>

using namespace Qt::StringLiterals;

namespace lumaro {

QtCaptureLibrary::QtCaptureLibrary(QString folder)
    : m_folder(std::move(folder))
{
}

CaptureResult QtCaptureLibrary::CameraSubArea()
{
    if (!m_subArea) {
        // The program's own folder first (the build puts both there), then
        // lib/lumaro beside it (installed: bin/lumaro, lib/lumaro/libCameraDll.so).
        const QString own = m_folder.isEmpty() ? QCoreApplication::applicationDirPath() : m_folder;
        const QStringList folders = { own, QDir(own).filePath(u"../lib/lumaro"_s) };
        QStringList errors;
        for (const QString &folder : folders) {
            // "CameraDll" becomes CameraDll.dll or libCameraDll.so as the system names it.
            m_library.setFileName(QDir::cleanPath(QDir(folder).filePath(u"CameraDll"_s)));
            if (m_library.load())
                break;
            errors << m_library.errorString();
        }
        if (!m_library.isLoaded())
            return { CaptureStatus::Failed, u"无法加载截图组件：%1"_s.arg(errors.join(u"；"_s)) };
        m_subArea = reinterpret_cast<SubAreaFn>(m_library.resolve("CameraSubArea"));
        m_lastError = reinterpret_cast<LastErrorFn>(m_library.resolve("CameraLastError"));
        if (!m_subArea)
            return { CaptureStatus::Failed, u"截图组件已损坏：缺少 CameraSubArea。"_s };
    }
    const int outcome = m_subArea();
    releaseMemoryLater(); // the screens' pictures are gone
    switch (outcome) {
    case 1:
        return { CaptureStatus::Accepted, {} };
    case 0:
        return { CaptureStatus::Cancelled, {} };
    default: {
        QString why = m_lastError ? QString::fromUtf8(m_lastError()) : QString();
        if (why.isEmpty())
            why = u"截图失败。"_s;
        return { CaptureStatus::Failed, why };
    }
    }
}

} // namespace lumaro
