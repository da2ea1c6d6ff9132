#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Requests in these tests go straight to servers on 127.0.0.1; a proxy from the environment
    // would send them elsewhere. The proxy test sets its own.
    for (const char* name : { "http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY" })
        unsetenv(name);
    // Listing the tests at build time happens without the test environment.
    if (!getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
