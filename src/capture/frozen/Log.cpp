#include "Log.h"

Q_LOGGING_CATEGORY(lcCapture, "lumaro.capture", QtWarningMsg)
