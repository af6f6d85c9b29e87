#include "helper_client.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace mirvane::vis {

std::string DefaultHelperPath() {
    if (const char *env = std::getenv("MIRVANE_VIS_HELPER"))
        return env;
    char exe[4096];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0)
        return {};
    std::string path(exe, size_t(n));
    path = path.substr(0, path.rfind('/') + 1) + "mirvane-vis-helper";
    return access(path.c_str(), X_OK) == 0 ? path : std::string();
}

std::unique_ptr<PanelHelper> PanelHelper::start(const std::string &helper, const std::string &file,
                                                const std::string &settings, bool nameOnly,
                                                int width, int height, std::string *why) {
    std::unique_ptr<PanelHelper> h(new PanelHelper());
    const int mem = memfd_create("mirvane-vis", MFD_CLOEXEC);
    if (mem < 0) {
        *why = std::string("no shared memory: ") + std::strerror(errno);
        return nullptr;
    }
    h->size_ = HelperBlockSize(width, height);
    void *p = MAP_FAILED;
    if (ftruncate(mem, off_t(h->size_)) == 0)
        p = mmap(nullptr, h->size_, PROT_READ | PROT_WRITE, MAP_SHARED, mem, 0);
    if (p == MAP_FAILED) {
        *why = std::string("no shared memory: ") + std::strerror(errno);
        close(mem);
        return nullptr;
    }
    h->block_ = static_cast<HelperBlock *>(p);
    h->block_->width = width;
    h->block_->height = height;
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        *why = std::string("no socket: ") + std::strerror(errno);
        close(mem);
        return nullptr;
    }
    // Everything the child needs is made before fork: after it only async-signal-safe calls.
    const char *argv[] = {helper.c_str(), file.c_str(), settings.c_str(), nameOnly ? "1" : "0",
                          nullptr};
    const pid_t pid = fork();
    if (pid == 0) {
        // Moved above 4 first, so neither dup2 below overwrites the other's source; dup2
        // clears close-on-exec on the copies, so only fds 3 and 4 reach the helper.
        const int sock = fcntl(pair[1], F_DUPFD_CLOEXEC, 10);
        const int memory = fcntl(mem, F_DUPFD_CLOEXEC, 10);
        if (sock < 0 || memory < 0 || dup2(sock, kHelperSocketFd) < 0 ||
            dup2(memory, kHelperMemoryFd) < 0)
            _exit(127);
        execv(helper.c_str(), const_cast<char *const *>(argv));
        _exit(127);
    }
    close(pair[1]);
    close(mem);
    h->socket_ = pair[0];
    if (pid < 0) {
        *why = std::string("cannot start the helper: ") + std::strerror(errno);
        return nullptr;
    }
    h->pid_ = pid;
    const char first = h->await(kStartTimeoutMs, why);
    if (first == 'K')
        return h;
    if (first == 'E')
        *why = h->block_->error;
    return nullptr; // the destructor ends the helper
}

PanelHelper::~PanelHelper() {
    if (pid_ > 0) {
        const char q = 'Q';
        send(socket_, &q, 1, MSG_NOSIGNAL);
        // A plugin's deinit gets a moment; then the helper is ended.
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
        int status = 0;
        while (waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > until) {
                kill();
                break;
            }
            usleep(1000);
        }
    }
    if (socket_ >= 0)
        close(socket_);
    if (block_)
        munmap(block_, size_);
}

void PanelHelper::kill() {
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
}

char PanelHelper::await(int timeoutMs, std::string *why) {
    pollfd p{socket_, POLLIN, 0};
    int ready;
    do
        ready = poll(&p, 1, timeoutMs);
    while (ready < 0 && errno == EINTR);
    char c = 0;
    if (ready > 0 && recv(socket_, &c, 1, 0) == 1)
        return c;
    if (ready == 0) {
        *why = "it did not answer within " + std::to_string(timeoutMs) + " ms";
        kill();
        return 0;
    }
    // End of stream: the helper is gone. Say how it ended.
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    if (WIFSIGNALED(status))
        *why = "it crashed (signal " + std::to_string(WTERMSIG(status)) + ")";
    else if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
        *why = "the helper program cannot be started";
    else
        *why = "it ended (status " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) +
               ")";
    return 0;
}

PanelHelper::Frame PanelHelper::render(std::string *why) {
    if (pid_ <= 0) {
        *why = "it is no longer running";
        return Frame::Failed;
    }
    const char r = 'R';
    if (send(socket_, &r, 1, MSG_NOSIGNAL) != 1) {
        await(0, why);
        return Frame::Failed;
    }
    const char c = await(kFrameTimeoutMs, why);
    return c == 'K' ? Frame::Drawn : c == 'S' ? Frame::Stopped : Frame::Failed;
}

void PanelHelper::click(int x, int y, int buttons) {
    if (pid_ <= 0)
        return;
    char msg[1 + 3 * sizeof(int32_t)] = {'C'};
    const int32_t args[3] = {x, y, buttons};
    std::memcpy(msg + 1, args, sizeof args);
    send(socket_, msg, sizeof msg, MSG_NOSIGNAL);
}

} // namespace mirvane::vis
