#include "platform/logging/Logging.h"

Q_LOGGING_CATEGORY(lcApp, "parlavue.app", QtWarningMsg)
Q_LOGGING_CATEGORY(lcSettings, "parlavue.settings", QtWarningMsg)
Q_LOGGING_CATEGORY(lcIni, "parlavue.ini", QtWarningMsg)
Q_LOGGING_CATEGORY(lcUi, "parlavue.ui", QtWarningMsg)
Q_LOGGING_CATEGORY(lcCapture, "parlavue.capture", QtWarningMsg)
Q_LOGGING_CATEGORY(lcVoice, "parlavue.voice", QtWarningMsg)
Q_LOGGING_CATEGORY(lcVolume, "parlavue.volume", QtWarningMsg)
Q_LOGGING_CATEGORY(lcCall, "parlavue.call", QtWarningMsg)
Q_LOGGING_CATEGORY(lcVideo, "parlavue.video", QtWarningMsg)
Q_LOGGING_CATEGORY(lcTransfer, "parlavue.transfer", QtWarningMsg)
Q_LOGGING_CATEGORY(lcDnsSd, "parlavue.dnssd", QtWarningMsg)
Q_LOGGING_CATEGORY(lcNotify, "parlavue.notify", QtWarningMsg)
