// One main() for every test program: a QApplication exists (offscreen unless the
// test runs under the Xvfb display), so window tests and event-loop tests can run.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
