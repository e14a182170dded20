#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Whatever the machine has installed, no lookup by name may reach a real
    // spreadsheet program, browser or other desktop program: the search path
    // starts empty, tests put their stand-ins on it, and the tools a test
    // itself runs are taken from the system folders by systemTool().
    QTemporaryDir standIns;
    qputenv("PATH", QFile::encodeName(standIns.path()));
    // Nor the user's session bus: a sync account set by a test would put
    // its password into the developer's own keyring.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
