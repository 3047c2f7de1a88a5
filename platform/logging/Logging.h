#pragma once

#include <QLoggingCategory>

// Diagnostics are silent unless enabled, e.g. QT_LOGGING_RULES="parlavue.*.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcApp)
Q_DECLARE_LOGGING_CATEGORY(lcSettings)
Q_DECLARE_LOGGING_CATEGORY(lcIni)
Q_DECLARE_LOGGING_CATEGORY(lcUi)
Q_DECLARE_LOGGING_CATEGORY(lcCapture)
Q_DECLARE_LOGGING_CATEGORY(lcVoice)
Q_DECLARE_LOGGING_CATEGORY(lcCall)
Q_DECLARE_LOGGING_CATEGORY(lcVideo)
Q_DECLARE_LOGGING_CATEGORY(lcVolume)
Q_DECLARE_LOGGING_CATEGORY(lcTransfer)
Q_DECLARE_LOGGING_CATEGORY(lcDnsSd)
Q_DECLARE_LOGGING_CATEGORY(lcNotify)
Q_DECLARE_LOGGING_CATEGORY(lcStats)
Q_DECLARE_LOGGING_CATEGORY(lcDevices)
// Frame numbers the test camera stamps into its pictures, and when they were made and shown.
Q_DECLARE_LOGGING_CATEGORY(lcLatency)
Q_DECLARE_LOGGING_CATEGORY(lcCrypto)
