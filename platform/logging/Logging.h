#pragma once

#include <QLoggingCategory>

// Diagnostics are silent unless enabled, e.g. QT_LOGGING_RULES="parlavue.*.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcApp)
Q_DECLARE_LOGGING_CATEGORY(lcSettings)
Q_DECLARE_LOGGING_CATEGORY(lcIni)
Q_DECLARE_LOGGING_CATEGORY(lcUi)
Q_DECLARE_LOGGING_CATEGORY(lcCapture)
Q_DECLARE_LOGGING_CATEGORY(lcVoice)
Q_DECLARE_LOGGING_CATEGORY(lcVolume)
