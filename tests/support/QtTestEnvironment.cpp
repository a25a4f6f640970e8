// One QApplication for the whole test program, offscreen unless a platform
// was chosen (the screenshot test runs under a real X server).
#include <gtest/gtest.h>

#include <QApplication>

#include <clocale>
#include <memory>

namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "varnello_tests";
        static char* argv[] = {name, nullptr};
        m_app = std::make_unique<QApplication>(argc, argv);
        // The application object takes the user's locale for the C library's
        // numbers; the program's Main() sets them back to "1.96" before any
        // window is made, and the windows tested here without Main() must
        // meet the same numbers, whatever language the machine speaks.
        std::setlocale(LC_NUMERIC, "C");
        // The tests close the frame many times; no event loop is to end.
        QApplication::setQuitOnLastWindowClosed(false);
    }
    void TearDown() override { m_app.reset(); }

private:
    std::unique_ptr<QApplication> m_app;
};

[[maybe_unused]] ::testing::Environment* const g_qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace
