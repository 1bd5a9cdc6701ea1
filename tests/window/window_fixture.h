#pragma once

#include "kes_logic/lidar_logic.h"
#include "kes_window/mainwindow.h"

#include <kes_sim/lidar_simulator.h>
#include <kes_test/prompt_script.h>

#include <gtest/gtest.h>

#include <QTest>

#include <memory>

// The window as main shows it, with a simulator on a free loopback port that LidarLogic is
// aimed at before anything connects (never at its default address).
class WindowFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        window_ = std::make_unique<MainWindow>();
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    }

    void TearDown() override
    {
        window_.reset();
        sim_.reset();
    }

    void startSimulator()
    {
        kes_sim::SimOptions options;
        options.bind_address = "127.0.0.1";
        options.port = 0;
        sim_ = std::make_unique<kes_sim::LidarSimulator>(options);
        ASSERT_TRUE(sim_->start().ok());
        logic()->ip_addr_ = QStringLiteral("127.0.0.1");
        logic()->lidar_port_ = sim_->port();
    }

    template <class T>
    T* child(const char* name) const
    {
        T* found = window_->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    LidarLogic* logic() const { return window_->logic(); }

    kes_test::PromptScript boxes_;
    std::unique_ptr<kes_sim::LidarSimulator> sim_;
    std::unique_ptr<MainWindow> window_;
};
