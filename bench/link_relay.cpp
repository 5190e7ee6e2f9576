// A point-to-point link with a fixed one-way delay, for measuring uploads across a slow
// link where tc netem is not available: two TUN devices, and every packet read from one
// is written to the other DELAY_MS later, in the order it came.
//
//   tavo_link_relay DEV_A DEV_B DELAY_MS
//
// It creates both devices and prints "ready"; the caller moves them into their network
// namespaces and gives them addresses (the open descriptors keep working there). The
// devices go away when the relay ends, on SIGTERM or SIGINT.
#include <fcntl.h>
#include <linux/if.h>
#include <linux/if_tun.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

namespace {

constexpr std::size_t kSlots = 4096;      // per direction; a full queue drops, as a router does
constexpr std::size_t kMaxPacket = 2048;  // the caller sets an MTU of 1500
constexpr int kReadBurst = 64;            // packets read from one device at a time

volatile std::sig_atomic_t stopping = 0;

std::int64_t NowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

int OpenTun(const char* name) {
    const int fd = open("/dev/net/tun", O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    ifreq ifr{};
    ifr.ifr_flags = IFF_TUN | IFF_NO_PI;
    std::strncpy(ifr.ifr_name, name, IFNAMSIZ - 1);
    if (ioctl(fd, TUNSETIFF, &ifr) < 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// The packets on their way from one device to the other, oldest first.
class Direction {
public:
    Direction(int from, int to) : from_(from), to_(to), ring_(kSlots) {}

    int from() const { return from_; }
    bool empty() const { return count_ == 0; }
    std::int64_t nextDue() const { return ring_[head_].due; }

    // Takes what the device has, each packet due at `due`.
    void receive(std::int64_t due) {
        static unsigned char scratch[kMaxPacket];
        for (int i = 0; i < kReadBurst; ++i) {
            Packet* p = count_ < kSlots ? &ring_[(head_ + count_) % kSlots] : nullptr;
            const ssize_t n = read(from_, p ? p->data : scratch, kMaxPacket);
            if (n <= 0)
                return;
            if (!p) {
                ++dropped_;
                continue;
            }
            p->due = due;
            p->size = static_cast<std::uint16_t>(n);
            ++count_;
        }
    }

    // Writes every packet whose time has come.
    void deliver(std::int64_t now) {
        while (count_ > 0 && ring_[head_].due <= now) {
            const Packet& p = ring_[head_];
            if (write(to_, p.data, p.size) == static_cast<ssize_t>(p.size))
                ++forwarded_;
            else
                ++dropped_;
            head_ = (head_ + 1) % kSlots;
            --count_;
        }
    }

    void report(const char* name) const {
        std::fprintf(stderr, "link_relay: %s: %llu packets forwarded, %llu dropped\n", name,
                     static_cast<unsigned long long>(forwarded_),
                     static_cast<unsigned long long>(dropped_));
    }

private:
    struct Packet {
        std::int64_t due;
        std::uint16_t size;
        unsigned char data[kMaxPacket];
    };
    int from_, to_;
    std::vector<Packet> ring_;
    std::size_t head_ = 0, count_ = 0;
    std::uint64_t forwarded_ = 0, dropped_ = 0;
};

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 4 || std::atoi(argv[3]) < 0) {
        std::fprintf(stderr, "usage: %s DEV_A DEV_B DELAY_MS\n", argv[0]);
        return 2;
    }
    const std::int64_t delay = std::int64_t{std::atoi(argv[3])} * 1'000'000;

    // The signals arrive only while waiting in ppoll, so the loop sees `stopping` at once.
    sigset_t blocked, waiting;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGINT);
    sigprocmask(SIG_BLOCK, &blocked, &waiting);
    sigdelset(&waiting, SIGTERM);
    sigdelset(&waiting, SIGINT);
    struct sigaction stop {};
    stop.sa_handler = [](int) { stopping = 1; };
    sigaction(SIGTERM, &stop, nullptr);
    sigaction(SIGINT, &stop, nullptr);
    // Wake-ups on time, not up to the default 50 µs late, which would add up over a run.
    prctl(PR_SET_TIMERSLACK, 1000UL);

    const int a = OpenTun(argv[1]);
    const int b = a < 0 ? -1 : OpenTun(argv[2]);
    if (a < 0 || b < 0) {
        std::perror("link_relay: TUN device");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);

    Direction ab(a, b), ba(b, a);
    int status = 0;
    while (!stopping) {
        const std::int64_t now = NowNs();
        ab.deliver(now);
        ba.deliver(now);
        std::int64_t next = -1;
        for (const Direction* d : {&ab, &ba})
            if (!d->empty() && (next < 0 || d->nextDue() < next))
                next = d->nextDue();
        timespec wait{};
        if (next >= 0) {
            const std::int64_t left = next > now ? next - now : 0;
            wait.tv_sec = left / 1'000'000'000;
            wait.tv_nsec = left % 1'000'000'000;
        }
        pollfd fds[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
        if (ppoll(fds, 2, next >= 0 ? &wait : nullptr, &waiting) < 0) {
            if (errno == EINTR)
                continue;  // a signal: the loop sees `stopping`
            std::perror("link_relay: ppoll");
            status = 1;
            break;
        }
        // A device that went away (its namespace deleted) ends the link.
        if ((fds[0].revents | fds[1].revents) & (POLLERR | POLLHUP | POLLNVAL)) {
            std::fprintf(stderr, "link_relay: a device went away\n");
            status = 1;
            break;
        }
        const std::int64_t arrived = NowNs();
        if (fds[0].revents & POLLIN)
            ab.receive(arrived + delay);
        if (fds[1].revents & POLLIN)
            ba.receive(arrived + delay);
    }
    ab.report(argv[1]);
    ba.report(argv[2]);
    close(a);
    close(b);
    return status;
}
