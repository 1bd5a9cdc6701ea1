#pragma once

#include <kes_test/fake_mdns_server.h>
#include <kes_test/qt_support.h>

#include <kes_logic/lidar_logic.h>
#include <kes_sim/lidar_simulator.h>
#include <kes_sim/sim_options.h>

#include <gtest/gtest.h>

#include <QStringList>
#include <QTest>

#include <memory>

// A simulator on a free loopback port and a LidarLogic aimed at it, never at its default.
class LogicFixture : public ::testing::Test {
protected:
    void startSimulator(kes_sim::SimOptions options = {})
    {
        options.bind_address = "127.0.0.1";
        options.port = 0;
        sim_ = std::make_unique<kes_sim::LidarSimulator>(options);
        ASSERT_TRUE(sim_->start().ok());
        logic_ = std::make_unique<LidarLogic>(&mdns_);
        logic_->ip_addr_ = QStringLiteral("127.0.0.1");
        logic_->lidar_port_ = sim_->port();
        states_ = std::make_unique<kes_test::SignalLog>(logic_.get(), &LidarLogic::sendState);
        status_ = std::make_unique<kes_test::SignalLog>(logic_.get(), &LidarLogic::send_status);
    }

    void TearDown() override
    {
        if (logic_ && logic_->connected_)
            logic_->disconnectLidar();
        logic_.reset();
        sim_.reset();
    }

    // Every state text seen so far, queued ones included.
    QStringList states()
    {
        QCoreApplication::processEvents();
        QStringList texts;
        for (int i = 0; i < states_->size(); ++i)
            texts << states_->at(i).at(0).toString();
        return texts;
    }

    bool waitForState(const QString& text, int ms)
    {
        return QTest::qWaitFor([&] { return states().contains(text); }, ms);
    }

    uint32_t requests(uint16_t code) const
    {
        const auto counts = sim_->snapshot().request_counts;
        const auto it = counts.find(code);
        return it == counts.end() ? 0 : it->second;
    }

    kes_test::FakeMdnsServer mdns_;
    std::unique_ptr<kes_sim::LidarSimulator> sim_;
    std::unique_ptr<LidarLogic> logic_;
    std::unique_ptr<kes_test::SignalLog> states_;
    std::unique_ptr<kes_test::SignalLog> status_;
};
