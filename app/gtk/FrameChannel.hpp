#pragma once

#include <glib.h>

#include <functional>
#include <string>
#include <string_view>

#include "ChartFrame.hpp"

namespace sapwell {

// One end of a stream socket that carries chart frames, watched on the GLib main loop: frames
// are read as they arrive and written as the other end takes them, so neither side ever blocks
// on the other.
class FrameChannel {
public:
    using Received = std::function<void(ChartFrame frame)>;
    using Closed = std::function<void()>;

    // Takes `fd`. `closed` runs once, when the other end has gone (or sent what no reader
    // takes), as the last thing the channel does; it may destroy the channel. `received` must
    // not.
    FrameChannel(int fd, Received received, Closed closed);
    ~FrameChannel();
    FrameChannel(const FrameChannel&) = delete;
    FrameChannel& operator=(const FrameChannel&) = delete;

    void send(char kind, std::string_view body);
    // Writes what is still queued, waiting for the other end as long as it takes it; for the
    // last words before the process ends.
    void flush();

private:
    bool writeSome();
    static gboolean onReadable(gint fd, GIOCondition condition, gpointer self);
    static gboolean onWritable(gint fd, GIOCondition condition, gpointer self);

    int fd_;
    Received received_;
    Closed closed_;
    FrameReader reader_;
    std::string out_;
    std::size_t sent_ = 0;
    guint readWatch_ = 0;
    guint writeWatch_ = 0;
};

}  // namespace sapwell
