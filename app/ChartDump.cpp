#include "ChartDump.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <ostream>
#include <system_error>

#include "Battery.hpp"
#include "I18n.hpp"

namespace sapwell {

namespace {

constexpr const char* pageFileName = "sapwell-chart.html";

bool writeAll(int fd, const std::string& bytes) {
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

// The error line must stay one line whatever the folder's name holds.
std::string oneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r') c = '?';
    }
    return text;
}

}  // namespace

std::filesystem::path tempFolder(const Environment& env) {
    return env.tempFolder();
}

std::optional<std::filesystem::path> writeChartPage(const std::string& page,
                                                    const std::filesystem::path& folder,
                                                    std::string& error) {
    const auto target = folder / pageFileName;
    // mkstemp creates the file exclusively, so nothing planted in a shared temporary folder is
    // followed or overwritten; rename then swaps the finished page in, so a reader never sees a
    // partial file. The page lists the user's applications: it stays readable by its owner only.
    std::string tmp = (folder / ".sapwell-chart.html.XXXXXX").string();
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    bool ok = writeAll(fd, page);
    int saved = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (ok && ::rename(tmp.c_str(), target.c_str()) != 0) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        ::unlink(tmp.c_str());
        error = std::strerror(saved);
        return std::nullopt;
    }
    return target;
}

int runChartDump(Seam& seam, std::ostream& out, std::ostream& err) {
    std::filesystem::path target = pageFileName;
    try {
        const StoredView view = readStored(seam);
        const std::string page = Chart::build(view.history, view.metric,
                                              Battery::capacityMJ(seam.battery.read()), view.now,
                                              view.bundles, view.lang);

        // The printed path is used by other programs: make it absolute even for a relative
        // TMPDIR. Not normalised: ".." after a symbolic link must keep its meaning.
        std::filesystem::path folder = tempFolder(seam.env);
        std::error_code ec;
        if (auto abs = std::filesystem::absolute(folder, ec); !ec) folder = std::move(abs);
        target = folder / pageFileName;

        std::string error;
        const auto written = writeChartPage(page, folder, error);
        if (!written) {
            err << "sapwell: cannot write " << oneLine(target.string()) << ": " << error << '\n';
            return 1;
        }
        out << written->string() << '\n';
        out.flush();
        if (!out) {
            err << "sapwell: wrote " << oneLine(target.string())
                << " but cannot print its path\n";
            return 1;
        }
        return 0;
    } catch (const std::exception& e) {
        err << "sapwell: cannot write " << oneLine(target.string()) << ": " << e.what() << '\n';
    } catch (...) {
        err << "sapwell: cannot write " << oneLine(target.string()) << ": unexpected failure\n";
    }
    return 1;
}

}  // namespace sapwell
