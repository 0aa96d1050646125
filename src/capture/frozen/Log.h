#pragma once

#include <QLoggingCategory>

// What a capture did, step by step: QT_LOGGING_RULES="lumaro.capture.debug=true"
// (with QT_MESSAGE_PATTERN="%{time process} %{message}" for the times).
Q_DECLARE_LOGGING_CATEGORY(lcCapture)
