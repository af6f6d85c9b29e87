#pragma once
// Helpers of the desktop tests: the private session bus as the program's session bus, a client
// connection to it, and calls that wait for their answer while the program under test keeps
// running its events in the same thread.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>

#include "player_support.h"
#include "private_bus.h"

namespace desktop_test {

// A whole program started with the private bus as its session bus, and a client connection
// of the test's own on the same bus.
class RemoteTest : public player_test::ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        const PrivateBus &bus = PrivateBus::Instance();
        if (bus.address().isEmpty()) {
            GTEST_SKIP() << bus.failure().toStdString();
        }
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toUtf8());
        client_ = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(bus.address(), "desktop-test-client"));
        ASSERT_TRUE(client_->isConnected()) << client_->lastError().message().toStdString();
    }
    void TearDown() override {
        ProgramTest::TearDown();
        client_.reset();
        QDBusConnection::disconnectFromBus("desktop-test-client");
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    }

    QDBusConnection &Client() { return *client_; }

    // A call on the player's object; waits for the answer (an error reply included).
    QDBusMessage Call(const QString &interface, const QString &method,
                      const QVariantList &arguments = {}) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            "org.mpris.MediaPlayer2.mirvane", "/org/mpris/MediaPlayer2", interface, method);
        call.setArguments(arguments);
        QDBusPendingCall pending = client_->asyncCall(call, 5000);
        EXPECT_TRUE(player_test::WaitFor([&] { return pending.isFinished(); }, 6000));
        return pending.reply();
    }
    QDBusMessage CallPlayer(const QString &method, const QVariantList &arguments = {}) {
        return Call("org.mpris.MediaPlayer2.Player", method, arguments);
    }
    // A property's value as the bus delivers it (maps and arrays still marshalled).
    QVariant Get(const QString &interface, const QString &name) {
        const QDBusMessage reply =
            Call("org.freedesktop.DBus.Properties", "Get", {interface, name});
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    QVariant GetPlayer(const QString &name) { return Get("org.mpris.MediaPlayer2.Player", name); }
    QDBusMessage SetPlayer(const QString &name, const QVariant &value) {
        return Call(
            "org.freedesktop.DBus.Properties", "Set",
            {"org.mpris.MediaPlayer2.Player", name, QVariant::fromValue(QDBusVariant(value))});
    }

  private:
    std::unique_ptr<QDBusConnection> client_;
};

} // namespace desktop_test
