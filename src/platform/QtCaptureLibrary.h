#pragma once

#include "platform/CaptureLibrary.h"

#include <QLibrary>

namespace lumaro {

// Loads the capture library on first use, from the program's own folder or
// from lib/lumaro beside it, and keeps it loaded for the rest of the run.
class QtCaptureLibrary final : public CaptureLibrary
{
public:
    explicit QtCaptureLibrary(QString folder = {});
    CaptureResult CameraSubArea() override;

private:
    using SubAreaFn = int (*)();
    using LastErrorFn = const char *(*)();

    QString m_folder;
    QLibrary m_library;
    SubAreaFn m_subArea = nullptr;
    LastErrorFn m_lastError = nullptr;
};

} // namespace lumaro
