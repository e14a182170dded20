#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "base/apperror.h"
#include "support/davserver.h"
#include "sync/davclient.h"

// A certificate no system trusts is taken only at the fingerprint the user
// accepted, and the refusal names the fingerprint to compare.
TEST(SelfSignedServer, IsReachedOnlyAtTheAcceptedFingerprint)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    DavServer server(DavServer::Kind::Radicale, folder.path(), true);
    ASSERT_TRUE(server.started()) << server.error().toStdString();
    const QString right = fingerprintText(server.certificateDigest());
    const QString wrong =
        QString(right).replace(0, 2, right.startsWith(u'0') ? QStringLiteral("11") : QStringLiteral("00"));
    for (const QString& trusted : {QString(), wrong, right}) {
        DavClient client(server.user(), server.password(), std::chrono::seconds(20));
        client.setTrustedFingerprint(trusted);
        try {
            EXPECT_EQ(client.discover(server.root()).size(), 1u) << trusted.toStdString();
            EXPECT_EQ(trusted, right);
        } catch (const AppError& e) {
            EXPECT_NE(trusted, right) << e.description().toStdString();
            EXPECT_TRUE(e.description().contains(right)) << e.description().toStdString();
            EXPECT_EQ(client.refusedFingerprint(), right);
        }
    }
}
