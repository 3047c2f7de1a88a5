#include "platform/peers/IPeerBrowser.h"
