#include <QtGlobal>

// Not yet able to select a region: every call reports a failure.
extern "C" Q_DECL_EXPORT int CameraSubArea()
{
    return -1;
}

extern "C" Q_DECL_EXPORT const char *CameraLastError()
{
    return "截图功能尚未完成。";
}
