#pragma once

// The info panel made on a shown main window, for the panel's widget tests.
#include "screentools/infopanel.h"

#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace vornik {

class ShownInfoPanel : public ::testing::Test {
  protected:
    void SetUp() override {
        m_main = std::make_unique<QWidget>();
        m_main->resize(1024, 768);
        m_info = createInfoPanel(m_main.get());
        m_main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_main.get()));
    }

    std::unique_ptr<QWidget> m_main;
    InfoPanel m_info;
};

} // namespace vornik
