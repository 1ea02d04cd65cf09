#pragma once

#include <QApplication>

#include <gtest/gtest.h>

#include <memory>

namespace vornik::testing {

// The application object of a widget test binary. It lives from the first
// test to the last and is destroyed before the program's exit handlers run,
// while Qt's own global objects still exist.
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "widget_test";
        static char* argv[] = {name, nullptr};
        m_application = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { m_application.reset(); }

private:
    std::unique_ptr<QApplication> m_application;
};

} // namespace vornik::testing

// Registers the environment once per test binary that includes this header.
#define VORNIK_QT_TEST_ENVIRONMENT()                                                                            \
    [[maybe_unused]] static ::testing::Environment* const vornikQtEnvironment =                                 \
        ::testing::AddGlobalTestEnvironment(new ::vornik::testing::QtEnvironment)
