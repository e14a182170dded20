#include <gtest/gtest.h>

#include "sync/davclient.h"

// The password goes unencrypted only to this machine, or where the user said so.
TEST(ServerUrl, PlainHttpOnlyToThisMachineUnlessAllowed)
{
    const struct {
        const char* url;
        bool insecureAllowed;
        bool usable;
    } rows[] = {
        {"https://dav.example.org/", false, true}, {"http://127.0.0.1:5232/", false, true},
        {"http://localhost/dav/", false, true},    {"http://[::1]:8080/", false, true},
        {"http://dav.example.org/", false, false}, {"http://dav.example.org/", true, true},
        {"http://192.168.1.10/", false, false},    {"ftp://dav.example.org/", true, false},
        {"dav.example.org", false, false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(refusedServerUrl(QUrl(QString::fromLatin1(row.url)), row.insecureAllowed).isEmpty(), row.usable)
            << row.url;
}
