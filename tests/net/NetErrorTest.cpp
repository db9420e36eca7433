// The failures of the protocol layer: values go into their places, the
// connection-closed note follows the text, and kinds are told apart.
#include "QtPrinters.h"
#include "net/NetError.h"

#include <gtest/gtest.h>

// A value holding a place marker of its own (a server's reply, a file
// name) stays as it is.
TEST(NetError, ValuesInOnePass)
{
    const EProtocolError e(NetError::FileNotCreated, QStringLiteral("/tmp/%2.txt"), QStringLiteral("denied"));
    EXPECT_EQ(e.text(), "Die Datei /tmp/%2.txt kann nicht erstellt werden. denied");
    EXPECT_EQ(EProtocolError(NetError::SummaryTooLong, 3, 1000, 256).text(),
              "Zusammenfassung der Nachricht 3 länger als 1000 Zeilen oder 256 KiB");
}

TEST(NetError, DroppedKeepsTheCause)
{
    const ESockError e = ESockError::Dropped(EProtocolError(NetError::HeadTooLong, 10000, 1024));
    EXPECT_EQ(e.kind(), NetError::HeadTooLong);
    EXPECT_TRUE(e.connectionDropped());
    EXPECT_EQ(e.text(), "Kopf der Nachricht länger als 10000 Zeilen oder 1024 KiB; Verbindung getrennt");
}

TEST(NetError, CaughtByKind)
{
    const ESockError e(NetError::NoAddress);
    EXPECT_TRUE(ENetError::Is(e, NetError::NoAddress));
    EXPECT_FALSE(ENetError::Is(e, NetError::ConnectFailed));
    EXPECT_FALSE(ENetError::Is(KvError("Null Externe Adresse"), NetError::NoAddress)) << "the text does not count";
}
