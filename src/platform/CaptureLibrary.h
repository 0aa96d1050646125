#pragma once

#include <QString>

namespace lumaro {

enum class CaptureStatus { Accepted, Cancelled, Failed };

struct CaptureResult
{
    CaptureStatus status = CaptureStatus::Failed;
    QString error; // why, when Failed
};

// The screen-region selector. On Accepted the selected pixels are on the
// clipboard; on Cancelled or Failed the clipboard is as it was.
class CaptureLibrary
{
public:
    virtual ~CaptureLibrary() = default;
    virtual CaptureResult CameraSubArea() = 0;
};

} // namespace lumaro
