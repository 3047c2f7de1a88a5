#include "calls/EAssertionFailed.h"
#include "calls/TVOIPMedia.h"
#include "tests/support/TFakeVoiceLink.h"

#include <gtest/gtest.h>

namespace {

TEST(VOIPMedia, ACallStartsAtLevel80WhateverCameBeforeAndStopsWhenFreed)
{
    TFakeVoiceLink link;
    link.SetMicLevel(30); // the bar of the call before
    {
        TVOIPMedia session(&link, TVoiceProcessing{false, true});
        session.SetRemotePort(8500);
        session.SetLocalPort(8502);
        session.SetRemoteAddress("192.0.2.5");
        session.StartVoice();
        EXPECT_TRUE(link.running);
        EXPECT_EQ(link.endpoint.host, "192.0.2.5");
        EXPECT_EQ(link.endpoint.remotePort, 8500);
        EXPECT_EQ(link.endpoint.localPort, 8502);
        EXPECT_FALSE(link.processing.echoCancellation);
        EXPECT_TRUE(link.processing.noiseSuppression);
        EXPECT_EQ(link.micLevel, 80);
        EXPECT_EQ(link.speakerLevel, 80);
        session.SetMicLevel(0);
        EXPECT_EQ(link.micLevel, 0);
    }
    EXPECT_FALSE(link.running) << "a freed session leaves nothing running";
}

TEST(VOIPMedia, NoLinkIsAnErrorToTheCaller)
{
    EXPECT_THROW(TVOIPMedia(nullptr, TVoiceProcessing{}), EAssertionFailed);
}

} // namespace
