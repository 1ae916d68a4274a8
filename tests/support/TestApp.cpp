#include "TestApp.h"

#include <gtest/gtest.h>
#include <memory>

namespace {

std::unique_ptr<QApplication> application;

class QtApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override { TestApp(); }
    void TearDown() override { application.reset(); }
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace

QApplication& TestApp()
{
    static int argc = 1;
    static char name[] = "widget-test";
    static char* argv[] = {name, nullptr};
    if (!application)
        application = std::make_unique<QApplication>(argc, argv);
    return *application;
}
