#include <gtest/gtest.h>

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include "base/apperror.h"
#include "support/davserver.h"
#include "sync/davclient.h"

namespace {

class RealServer : public testing::TestWithParam<DavServer::Kind> {};

TEST_P(RealServer, ServesAnAddressBookToItsUser)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    DavServer server(GetParam(), folder.path());
    ASSERT_TRUE(server.started()) << server.error().toStdString();

    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy);
    QNetworkRequest request(server.addressBook());
    request.setRawHeader("Depth", "0");
    request.setRawHeader("Content-Type", "application/xml; charset=utf-8");
    request.setRawHeader("Authorization",
                         "Basic " + (server.user() + QLatin1Char(':') + server.password()).toUtf8().toBase64());
    QNetworkReply* reply = manager.sendCustomRequest(
        request, "PROPFIND", R"(<?xml version="1.0"?><propfind xmlns="DAV:"><prop><resourcetype/></prop></propfind>)");
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 207);

    bool addressBook = false;
    bool inResourceType = false;
    QXmlStreamReader xml(reply->readAll());
    delete reply;
    while (xml.readNext() != QXmlStreamReader::Invalid && !xml.atEnd()) {
        if (xml.isStartElement() && xml.namespaceUri() == u"DAV:" && xml.name() == u"resourcetype")
            inResourceType = true;
        else if (xml.isEndElement() && xml.namespaceUri() == u"DAV:" && xml.name() == u"resourcetype")
            inResourceType = false;
        else if (inResourceType && xml.isStartElement() && xml.name() == u"addressbook" &&
                 xml.namespaceUri() == u"urn:ietf:params:xml:ns:carddav")
            addressBook = true;
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_TRUE(addressBook) << "no CardDAV addressbook resource type at "
                             << server.addressBook().toString().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Servers, RealServer, testing::Values(DavServer::Kind::Radicale, DavServer::Kind::Xandikos),
                         [](const testing::TestParamInfo<DavServer::Kind>& p) { return DavServer::name(p.param); });

} // namespace

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
