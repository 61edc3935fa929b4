#include "FrameChannel.hpp"

#include <fcntl.h>
#include <glib-unix.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "RetryOnInterrupt.hpp"

namespace sapwell {

FrameChannel::FrameChannel(int fd, Received received, Closed closed)
    : fd_(fd), received_(std::move(received)), closed_(std::move(closed)) {
    // Never handed on to programs started from here: the other end must see this one close
    // when this process ends.
    fcntl(fd_, F_SETFD, FD_CLOEXEC);
    fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
    readWatch_ = g_unix_fd_add(fd_, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR),
                               onReadable, this);
}

FrameChannel::~FrameChannel() {
    if (readWatch_ != 0) g_source_remove(readWatch_);
    if (writeWatch_ != 0) g_source_remove(writeWatch_);
    close(fd_);
}

void FrameChannel::send(char kind, std::string_view body) {
    if (sent_ > 0) {
        out_.erase(0, sent_);
        sent_ = 0;
    }
    out_ += encodeFrame(kind, body);
    if (writeWatch_ == 0 && writeSome() && sent_ < out_.size()) {
        writeWatch_ = g_unix_fd_add(fd_, G_IO_OUT, onWritable, this);
    }
}

void FrameChannel::flush() {
    while (sent_ < out_.size()) {
        pollfd p{fd_, POLLOUT, 0};
        if (retryOnInterrupt([&] { return poll(&p, 1, -1); }) < 0) return;
        if (!writeSome()) return;
    }
}

// False once the other end can take nothing more; what is queued is then dropped, and the
// reading side learns of the end.
bool FrameChannel::writeSome() {
    while (sent_ < out_.size()) {
        const ssize_t n = retryOnInterrupt(
            [&] { return ::send(fd_, out_.data() + sent_, out_.size() - sent_, MSG_NOSIGNAL); });
        if (n > 0) {
            sent_ += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
        out_ = std::string();
        sent_ = 0;
        return false;
    }
    // All out: a page's worth of room is not kept for the life of the process.
    out_ = std::string();
    sent_ = 0;
    return true;
}

gboolean FrameChannel::onWritable(gint, GIOCondition, gpointer self) {
    auto* channel = static_cast<FrameChannel*>(self);
    if (channel->writeSome() && !channel->out_.empty()) return G_SOURCE_CONTINUE;
    channel->writeWatch_ = 0;
    return G_SOURCE_REMOVE;
}

gboolean FrameChannel::onReadable(gint fd, GIOCondition, gpointer self) {
    auto* channel = static_cast<FrameChannel*>(self);
    char buffer[65536];
    for (;;) {
        const ssize_t n = retryOnInterrupt([&] { return read(fd, buffer, sizeof buffer); });
        if (n > 0) {
            channel->reader_.feed(std::string_view(buffer, static_cast<std::size_t>(n)));
            while (auto frame = channel->reader_.next()) channel->received_(std::move(*frame));
            if (!channel->reader_.broken()) continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return G_SOURCE_CONTINUE;
        }
        // The end, an error, or a stream no longer to be trusted.
        channel->readWatch_ = 0;
        auto closed = channel->closed_;  // the channel may be gone when it returns
        closed();
        return G_SOURCE_REMOVE;
    }
}

}  // namespace sapwell
