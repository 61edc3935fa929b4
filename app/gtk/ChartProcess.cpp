#include "ChartProcess.hpp"

#include <gio/gio.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sapwell {

namespace {
// Where the child finds its end of the socket.
constexpr int childFd = 3;
}  // namespace

ChartProcess::ChartProcess(std::filesystem::path program, Receive receive)
    : program_(std::move(program)), receive_(std::move(receive)) {}

// The child sees its socket close and ends.
ChartProcess::~ChartProcess() = default;

bool ChartProcess::start() {
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return false;
    GSubprocessLauncher* launcher = g_subprocess_launcher_new(G_SUBPROCESS_FLAGS_NONE);
    g_subprocess_launcher_setenv(launcher, chartFdVariable, "3", TRUE);
    g_subprocess_launcher_take_fd(launcher, fds[1], childFd);
    const char* argv[] = {program_.c_str(), nullptr};
    GError* error = nullptr;
    // GIO reaps the child when it ends; nothing here waits for it.
    GSubprocess* child = g_subprocess_launcher_spawnv(launcher, argv, &error);
    g_object_unref(launcher);  // closes the child's end here
    if (child == nullptr) {
        g_error_free(error);
        close(fds[0]);
        return false;
    }
    g_object_unref(child);
    channel_ = std::make_unique<FrameChannel>(
        fds[0], [this](ChartFrame frame) { onFrame(std::move(frame)); }, [this] { onClosed(); });
    if (place_) channel_->send(ChartFrame::place, *place_);
    return true;
}

void ChartProcess::send(char kind, const std::string& body) {
    if (channel_ || start()) channel_->send(kind, body);
}

void ChartProcess::load(const std::string& html) {
    page_ = html;
    send(ChartFrame::page, html);
}

void ChartProcess::show(const std::string& title) {
    title_ = title;
    restarted_ = false;
    send(ChartFrame::show, title);
}

void ChartProcess::hide() {
    page_ = std::string();
    title_.reset();
    if (channel_) channel_->send(ChartFrame::hide, {});
}

void ChartProcess::onFrame(ChartFrame frame) {
    switch (frame.kind) {
    case ChartFrame::message: receive_(frame.body); break;
    case ChartFrame::place:
        // Sent as the window hides, by the user's hand or the tray's.
        if (parsePlace(frame.body)) place_ = std::move(frame.body);
        page_ = std::string();
        title_.reset();
        break;
    default: break;
    }
}

void ChartProcess::onClosed() {
    channel_.reset();
    // Ended while it was to be shown: once more, so the request is not lost; a window that
    // cannot start at all is not started over and over.
    if (!title_ || restarted_) return;
    restarted_ = true;
    if (!start()) return;
    channel_->send(ChartFrame::page, page_);
    channel_->send(ChartFrame::show, *title_);
}

}  // namespace sapwell
