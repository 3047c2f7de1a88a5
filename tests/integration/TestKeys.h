#pragma once

// A key of its own for one end of a test, in a folder of its own, and the TLS it uses.
#include "platform/crypto/TIdentity.h"
#include "platform/crypto/TTlsContext.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

struct TTestKeys
{
    QTemporaryDir dir;
    TIdentity identity = TIdentity::Load(dir.filePath(QStringLiteral("Identity.key")));
    std::shared_ptr<const TTlsContext> tls = [this] {
        QString error;
        auto made = TTlsContext::Make(identity, &error);
        EXPECT_TRUE(made) << error.toStdString();
        return made;
    }();
};
