// Disk work handed to the pool: in order, answered on the owner's thread, and never answered or
// still running once the work has gone.
#include "transfer/TSerialWork.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

TEST(SerialWork, JobsRunInTurnAndAnswerOnTheOwnersThread)
{
    QObject owner;
    std::vector<int> ran;
    std::vector<int> answered;
    bool answersOnOwner = true;
    {
        TSerialWork work(&owner);
        for (int i = 0; i < 50; ++i)
            work.Post([&ran, &answered, &answersOnOwner, i]() -> TSerialWork::TAnswer {
                ran.push_back(i); // one job at a time, or this would race
                return [&, i] {
                    answersOnOwner = answersOnOwner && QThread::currentThread() == qApp->thread();
                    answered.push_back(i);
                };
            });
        QElapsedTimer clock;
        clock.start();
        while (work.Pending() > 0 && clock.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    std::vector<int> inOrder(50);
    for (int i = 0; i < 50; ++i)
        inOrder[i] = i;
    EXPECT_EQ(ran, inOrder);
    EXPECT_EQ(answered, inOrder);
    EXPECT_TRUE(answersOnOwner);
}

TEST(SerialWork, GoingWaitsForTheJobUnderWayAndDropsTheRest)
{
    QObject owner;
    auto running = std::make_shared<std::atomic<bool>>(false);
    auto finished = std::make_shared<std::atomic<bool>>(false);
    auto later = std::make_shared<std::atomic<int>>(0);
    bool answered = false;
    {
        TSerialWork work(&owner);
        work.Post([=, &answered]() -> TSerialWork::TAnswer {
            *running = true;
            QThread::msleep(200);
            *finished = true;
            return [&answered] { answered = true; };
        });
        for (int i = 0; i < 5; ++i)
            work.Post([=]() -> TSerialWork::TAnswer {
                ++*later;
                return {};
            });
        while (!*running)
            QThread::yieldCurrentThread();
    }
    EXPECT_TRUE(*finished) << "the job under way outlived its work";
    QCoreApplication::processEvents();
    EXPECT_FALSE(answered);
    EXPECT_EQ(*later, 0);
}
