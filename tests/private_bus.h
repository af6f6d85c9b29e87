#pragma once
// A private session bus for tests and benchmarks: a real dbus-daemon of our own, started at the
// first use and ended at the exit of the program that started it. No Qt event loop needed.

#include <QStandardPaths>
#include <QString>
#include <csignal>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace desktop_test {

// A dbus-daemon of our own; address() is empty when none could be started.
class PrivateBus {
  public:
    static PrivateBus &Instance() {
        static PrivateBus bus;
        return bus;
    }
    const QString &address() const { return address_; }
    const QString &failure() const { return failure_; }
    pid_t pid() const { return pid_; }

  private:
    PrivateBus() {
        const QString daemon = QStandardPaths::findExecutable("dbus-daemon");
        if (daemon.isEmpty()) {
            failure_ = "dbus-daemon is not installed (Debian package dbus-daemon)";
            return;
        }
        int out[2];
        if (::pipe(out) != 0) {
            failure_ = "no pipe for dbus-daemon";
            return;
        }
        // Built before the fork: the child may only make async-signal-safe calls.
        const std::string path = daemon.toStdString();
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::close(out[0]);
            ::close(out[1]);
            ::execl(path.c_str(), path.c_str(), "--session", "--nofork", "--print-address",
                    static_cast<char *>(nullptr));
            ::_exit(127);
        }
        ::close(out[1]);
        // The daemon prints its address, one line, once it listens.
        std::string line;
        char c = 0;
        while (::read(out[0], &c, 1) == 1 && c != '\n') {
            line += c;
        }
        ::close(out[0]);
        address_ = QString::fromStdString(line).trimmed();
        if (address_.isEmpty()) {
            failure_ = "dbus-daemon printed no address";
        }
    }
    ~PrivateBus() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    pid_t pid_ = -1;
    QString address_;
    QString failure_;
};

} // namespace desktop_test
